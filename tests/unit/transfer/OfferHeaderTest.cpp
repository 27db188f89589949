#include "transfer/OfferHeader.h"

#include <gtest/gtest.h>

#include "transfer/SizeText.h"

namespace kova {
namespace {

TEST(OfferHeader, EncodesTheWireLayoutAndDecodesItBack) {
    OfferHeader h;
    h.size = 0x01020304;
    h.name.setText(u"report.pdf");
    const auto bytes = h.encode();
    ASSERT_EQ(bytes.size(), 528u);
    EXPECT_EQ(bytes[0], std::byte{0x63});
    EXPECT_EQ(bytes[1], std::byte{0});
    EXPECT_EQ(bytes[4], std::byte{0x04});
    EXPECT_EQ(bytes[7], std::byte{0x01});
    EXPECT_EQ(bytes[8], std::byte{'r'});
    EXPECT_EQ(bytes[9], std::byte{0});
    EXPECT_EQ(bytes[8 + 2 * 10], std::byte{0});  // NUL after the name
    EXPECT_EQ(OfferHeader::decode(bytes), h);
}

TEST(OfferHeader, RefusesWrongLengthTagSizeOrAWideSizeInTheName) {
    OfferHeader h;
    h.name.setText(u"f");
    auto bytes = h.encode();
    EXPECT_FALSE(OfferHeader::decode(ByteSpan(bytes).first(527)));
    for (const std::int32_t size : {0, INT32_MAX, INT32_MIN, -1}) {
        h.size = size;
        EXPECT_EQ(bool(OfferHeader::decode(h.encode())), size >= 0) << size;
    }
    // A name starting below ' ' reads as the high half of a 64-bit size.
    h.size = 5;
    for (const char16_t* name : {u"", u"\u0001abc"}) {
        h.name.setText(name);
        EXPECT_FALSE(OfferHeader::decode(h.encode()));
    }
    bytes[0] = std::byte{'z'};
    EXPECT_FALSE(OfferHeader::decode(bytes));
}

TEST(OfferHeader, ChunksAreAtMost4096AndNeverNegative) {
    EXPECT_EQ(nextChunkBytes(4096, 0), 4096u);
    EXPECT_EQ(nextChunkBytes(4097, 0), 4096u);
    EXPECT_EQ(nextChunkBytes(4097, 4096), 1u);
    EXPECT_EQ(nextChunkBytes(10, 10), 0u);
    EXPECT_EQ(nextChunkBytes(10, 50), 0u);
    EXPECT_TRUE(fitsOffer(INT32_MAX));
    EXPECT_FALSE(fitsOffer(std::int64_t(INT32_MAX) + 1));
}

TEST(SafeFileName, KeepsOnlyTheLastComponentWithoutControls) {
    EXPECT_EQ(safeFileName(QStringLiteral("../../.bashrc")), QStringLiteral(".bashrc"));
    EXPECT_EQ(safeFileName(QStringLiteral("C:\\Users\\x\\photo.jpg")), QStringLiteral("photo.jpg"));
    EXPECT_EQ(safeFileName(QStringLiteral("/etc/passwd")), QStringLiteral("passwd"));
    EXPECT_EQ(safeFileName(QStringLiteral("a\tb\x01"
                                          "c\x7f.txt")),
              QStringLiteral("abc.txt"));
    EXPECT_EQ(safeFileName(QStringLiteral("..")), QStringLiteral("received-file"));
    EXPECT_EQ(safeFileName(QStringLiteral("dir/.")), QStringLiteral("received-file"));
    EXPECT_EQ(safeFileName(QStringLiteral("dir/")), QStringLiteral("received-file"));
    EXPECT_EQ(safeFileName(QString()), QStringLiteral("received-file"));
}

TEST(SizeText, BytesKilobytesMegabytesWithOneTruncatedDecimal) {
    EXPECT_EQ(SizeText(0), QStringLiteral("0 B "));
    EXPECT_EQ(SizeText(1023), QStringLiteral("1023 B "));
    EXPECT_EQ(SizeText(1024), QStringLiteral("1 kB "));
    EXPECT_EQ(SizeText(1536), QStringLiteral("1.5 kB "));
    EXPECT_EQ(SizeText(2047), QStringLiteral("1.9 kB "));
    EXPECT_EQ(SizeText(3670016), QStringLiteral("3.5 mB "));
    EXPECT_EQ(SizeText(1048576), QStringLiteral("1 mB "));
    EXPECT_EQ(SizeText(UINT32_MAX), QStringLiteral("4095.9 mB "));
}

}  // namespace
}  // namespace kova
