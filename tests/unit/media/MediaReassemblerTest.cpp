#include "media/MediaReassembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "formats/MediaHeader.h"

namespace kova {
namespace {

using Bytes = std::vector<std::byte>;

// A datagram with byte 0 = b, length field = lengthField (default: its size),
// and payload bytes fill, fill + 1, ...
Bytes datagram(int b, std::size_t payload, int fill = 0, int lengthField = -1) {
    Bytes d(MediaHeader::kSize + payload);
    d[0] = static_cast<std::byte>(b);
    d[1] = std::byte{0xEE};  // reserved: ignored
    writeLe<std::uint16_t>(d, 2,
                           static_cast<std::uint16_t>(lengthField < 0 ? d.size() : lengthField));
    for (std::size_t i = 0; i < payload; ++i) {
        d[4 + i] = static_cast<std::byte>(fill + static_cast<int>(i));
    }
    return d;
}

Bytes bytesOf(ByteSpan s) {
    return Bytes(s.begin(), s.end());
}

TEST(MediaReassembler, ShortDatagramsAndLengthFieldAreChecked) {
    MediaReassembler r;
    r.reset(1000);
    EXPECT_FALSE(r.accept(Bytes(3)));
    EXPECT_FALSE(r.accept(datagram(1, 95, 0, 100)));  // 99 bytes, field says 100
    EXPECT_FALSE(r.accept(Bytes(0)));

    const auto longer = r.accept(datagram(4, 46, 0, 10));  // field is only a lower bound
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->data.size(), 46u);
    EXPECT_EQ(longer->sequence, 4);

    const auto empty = r.accept(datagram(0, 0));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->data.empty());

    // Longer than the receive buffer: a failed read.
    EXPECT_FALSE(r.accept(datagram(1, 1001)));
    EXPECT_TRUE(r.accept(datagram(1, 1000)));
}

TEST(MediaReassembler, FragmentsConcatenateAndTheLastGivesTheSequence) {
    MediaReassembler r;
    r.reset(1000);
    EXPECT_FALSE(r.accept(datagram(15, 30, 0)));
    EXPECT_EQ(r.fill(), 30u);
    EXPECT_FALSE(r.accept(datagram(13, 20, 30)));  // sequences are not compared
    const auto frame = r.accept(datagram(25, 10, 50));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->sequence, 5);
    EXPECT_EQ(bytesOf(frame->data), bytesOf(ByteSpan(datagram(0, 60, 0)).subspan(4)));
    EXPECT_EQ(r.fill(), 0u);

    // A lone last fragment is a frame of its own.
    const auto lone = r.accept(datagram(29, 7, 3));
    ASSERT_TRUE(lone);
    EXPECT_EQ(lone->sequence, 9);
    EXPECT_EQ(lone->data.size(), 7u);
}

TEST(MediaReassembler, WholeFrameBetweenFragmentsLeavesTheReassemblyAlone) {
    MediaReassembler r;
    r.reset(1000);
    EXPECT_FALSE(r.accept(datagram(11, 40, 0)));
    const auto whole = r.accept(datagram(2, 8, 200));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->sequence, 2);
    EXPECT_EQ(bytesOf(whole->data), bytesOf(ByteSpan(datagram(0, 8, 200)).subspan(4)));
    EXPECT_EQ(r.fill(), 40u);
    const auto frame = r.accept(datagram(21, 10, 40));
    ASSERT_TRUE(frame);
    EXPECT_EQ(bytesOf(frame->data), bytesOf(ByteSpan(datagram(0, 50, 0)).subspan(4)));
}

TEST(MediaReassembler, OverflowStartsAgainFromEmpty) {
    MediaReassembler r;
    r.reset(100);
    EXPECT_FALSE(r.accept(datagram(10, 60, 0)));
    EXPECT_FALSE(r.accept(datagram(20, 41, 0)));  // 101 > 100: dropped, fill reset
    EXPECT_EQ(r.fill(), 0u);

    // The next frame reassembles whole; exactly N fits.
    EXPECT_FALSE(r.accept(datagram(16, 60, 1)));
    const auto frame = r.accept(datagram(26, 40, 61));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->sequence, 6);
    EXPECT_EQ(bytesOf(frame->data), bytesOf(ByteSpan(datagram(0, 100, 1)).subspan(4)));
}

TEST(MediaReassembler, FirstBytesNoSenderProducesAreDroppedUntouched) {
    MediaReassembler r;
    r.reset(100);
    EXPECT_FALSE(r.accept(datagram(12, 5)));
    for (int b : {30, 99, 255}) {
        EXPECT_FALSE(r.accept(datagram(b, 5))) << b;
    }
    EXPECT_EQ(r.fill(), 5u);
}

TEST(MediaReassembler, ResetForgetsAPartialFrameOfTheLastCall) {
    MediaReassembler r;
    r.reset(100);
    EXPECT_FALSE(r.accept(datagram(10, 30)));
    r.reset(200);
    EXPECT_EQ(r.fill(), 0u);
    EXPECT_EQ(r.maxFrame(), 200u);
    EXPECT_EQ(r.receiveBuffer().size(), 204u);
    const auto frame = r.accept(datagram(23, 10));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->data.size(), 10u);

    r.release();
    EXPECT_TRUE(r.receiveBuffer().empty());
    EXPECT_FALSE(r.accept(datagram(1, 0)));
}

}  // namespace
}  // namespace kova
