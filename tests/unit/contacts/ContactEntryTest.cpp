#include "contacts/ContactEntry.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(ContactKey, ReadsAddressesTheWayTheSocketLayerDoes) {
    EXPECT_EQ(contactKey("1.2.3.4"), 0x04030201u);
    EXPECT_EQ(contactKey("192.0.2.10"), 0x0A0200C0u);
    EXPECT_EQ(contactKey("127.0.0.1"), 0x0100007Fu);
    EXPECT_EQ(contactKey("0x7f.1"), 0x0100007Fu) << "short form, hex";
    EXPECT_EQ(contactKey("010.0.0.1"), 0x01000008u) << "leading zero is octal";
    EXPECT_EQ(contactKey("1.2.3"), 0x03000201u) << "last part fills two bytes";
    EXPECT_EQ(contactKey("16909060"), 0x04030201u) << "one number";
    EXPECT_EQ(contactKey("1.2.3.4 trailing"), 0x04030201u);
    for (const char* bad : {"", "host.example.org", "256.1.1.1", "1.2.3.4.5", "1..2.3", "1.2.3.",
                            "09.1.1.1", "0x", "1.2.65536", "\u00e9.1.1.1", "-1.2.3.4"}) {
        EXPECT_EQ(contactKey(QString::fromUtf8(bad)), kInaddrNone) << bad;
    }
}

TEST(ContactEntry, TextsAreCutToTheirFields) {
    const auto e = ContactEntry::make(QString(40, 'n'), QString(80, 'm'), QString(90, 'a'), 7);
    EXPECT_EQ(e.nameText(), QString(31, 'n'));
    EXPECT_EQ(e.mailText(), QString(63, 'm'));
    EXPECT_EQ(e.addrText(), QString(69, 'a'));
    EXPECT_EQ(e.key, kInaddrNone);
    EXPECT_EQ(e.lastHeard, 7u);
}

}  // namespace
}  // namespace kova
