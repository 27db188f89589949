// The chat datagram: UTF-16LE units without a header or terminator.
#include "chat/ChatPayload.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values) {
        out.push_back(static_cast<std::byte>(v));
    }
    return out;
}

TEST(ChatPayload, DecodesHalfTheBytesUpToTheFirstNul) {
    EXPECT_EQ(chat::decodePayload(bytes({'h', 0, 'i', 0})), u"hi");
    EXPECT_EQ(chat::decodePayload(bytes({'h', 0, 'i', 0, 'x'})), u"hi") << "odd byte ignored";
    EXPECT_EQ(chat::decodePayload(bytes({'h', 0, 0, 0, 'i', 0})), u"h");
    EXPECT_EQ(chat::decodePayload(bytes({0x1F, 0x04, 0x3D, 0xD8, 0x00, 0xDE})), u"П😀");
}

TEST(ChatPayload, EncodesLittleEndianAndCutsAtTheLimit) {
    EXPECT_EQ(chat::encodePayload(u"Яa"), bytes({0x2F, 0x04, 'a', 0}));
    const std::u16string longText(3000, u'x');
    EXPECT_EQ(chat::encodePayload(longText).size(), chat::kMaxDatagram);
    const auto farewell = chat::encodePayload(chat::kFarewell);
    ASSERT_EQ(farewell.size(), 30u);
    EXPECT_EQ(chat::decodePayload(farewell), u"Disconnected...");
}

}  // namespace
}  // namespace kova
