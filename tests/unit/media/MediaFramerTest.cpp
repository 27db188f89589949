#include "media/MediaFramer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "media/MediaReassembler.h"

namespace kova {
namespace {

using Bytes = std::vector<std::byte>;

// A send buffer: 4 reserved bytes and a frame of `size` patterned bytes.
Bytes frameBuffer(std::size_t size, unsigned seed = 1) {
    Bytes b(MediaHeader::kSize + size);
    for (std::size_t i = 0; i < size; ++i) {
        b[MediaHeader::kSize + i] = static_cast<std::byte>((i * 31 + seed) & 0xFF);
    }
    return b;
}

struct Sent {
    std::vector<Bytes> datagrams;
    bool fail = false;
    bool operator()(ByteSpan d) {
        datagrams.emplace_back(d.begin(), d.end());
        return !fail;
    }
};

int byte0(const Bytes& d) {
    return std::to_integer<int>(d.at(0));
}
int lengthField(const Bytes& d) {
    return readLe<std::uint16_t>(d, 2);
}

TEST(MediaHeader, RoundTripsAndNamesItsKinds) {
    const auto h = MediaHeader::make(MediaHeader::Kind::LastFragment, 7, 0x1234);
    const auto bytes = h.encode();
    EXPECT_EQ(bytes, (std::array<std::byte, 4>{std::byte{27}, std::byte{0}, std::byte{0x34},
                                               std::byte{0x12}}));
    EXPECT_EQ(MediaHeader::decode(bytes), h);
    EXPECT_EQ(h.sequence(), 7);
    EXPECT_FALSE(MediaHeader::decode(ByteSpan(bytes).first(3)));

    MediaHeader k;
    k.sequenceAndKind = 30;  // no sender makes it
    EXPECT_FALSE(k.kind());
    k.sequenceAndKind = 19;
    EXPECT_EQ(k.kind(), MediaHeader::Kind::Fragment);
}

TEST(MediaFramer, FrameOfDatagramSizeGoesWholeOneMoreByteInTwoFragments) {
    for (std::size_t d : {std::size_t{512}, std::size_t{65507}}) {
        MediaFramer framer;
        framer.setMaxDatagram(d);

        Bytes whole = frameBuffer(d - 4);
        Sent one;
        framer.sendFrame(whole, std::ref(one));
        ASSERT_EQ(one.datagrams.size(), 1u);
        EXPECT_EQ(one.datagrams[0].size(), d);
        EXPECT_EQ(byte0(one.datagrams[0]), 1);
        EXPECT_EQ(lengthField(one.datagrams[0]), static_cast<int>(d));
        EXPECT_EQ(one.datagrams[0], whole);  // header written into the caller's bytes

        Bytes split = frameBuffer(d - 3, 9);
        Sent two;
        framer.sendFrame(split, std::ref(two));
        ASSERT_EQ(two.datagrams.size(), 2u);
        const Bytes& first = two.datagrams[0];
        const Bytes& last = two.datagrams[1];
        EXPECT_EQ(first.size(), d);
        EXPECT_EQ(byte0(first), 2 + 10);
        EXPECT_EQ(lengthField(first), static_cast<int>(d));
        EXPECT_TRUE(std::equal(first.begin() + 4, first.end(), split.begin() + 4));
        EXPECT_EQ(last.size(), 5u);
        EXPECT_EQ(byte0(last), 2 + 20);
        EXPECT_EQ(lengthField(last), 5);
        EXPECT_EQ(last[4], split.back());
    }
}

TEST(MediaFramer, SequenceRunsOneToNineThenZeroAndOnAcrossLimitChanges) {
    MediaFramer framer;
    std::vector<int> seen;
    for (int i = 0; i < 12; ++i) {
        if (i == 5) {
            framer.setMaxDatagram(65507);  // a new call: the numbering runs on
        }
        Bytes b = frameBuffer(10);
        Sent s;
        framer.sendFrame(b, std::ref(s));
        seen.push_back(byte0(s.datagrams.at(0)));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2}));
    EXPECT_EQ(framer.lastSequence(), 2);
}

TEST(MediaFramer, FailedSendAbandonsTheRestOfTheFrame) {
    MediaFramer framer;
    framer.setMaxDatagram(100);
    Bytes b = frameBuffer(1000);
    Sent s;
    s.fail = true;
    framer.sendFrame(b, std::ref(s));
    EXPECT_EQ(s.datagrams.size(), 1u);
}

TEST(MediaFramer, LimitsAreClampedSoFragmentsAlwaysCarryABytes) {
    MediaFramer framer;
    framer.setMaxDatagram(0);
    EXPECT_EQ(framer.maxDatagram(), 5u);
    framer.setMaxDatagram(70000);
    EXPECT_EQ(framer.maxDatagram(), 65535u);

    framer.setMaxDatagram(3);
    Bytes b = frameBuffer(3);
    Sent s;
    framer.sendFrame(b, std::ref(s));
    ASSERT_EQ(s.datagrams.size(), 3u);
    EXPECT_EQ(byte0(s.datagrams[0]), 11);
    EXPECT_EQ(byte0(s.datagrams[2]), 21);

    Bytes tooShort(3);
    Sent none;
    framer.sendFrame(tooShort, std::ref(none));
    EXPECT_TRUE(none.datagrams.empty());
    EXPECT_EQ(framer.lastSequence(), 1);
}

TEST(MediaFramer, FragmentsReassembleToTheFrameForAnySizeAndLimit) {
    std::mt19937 rng(6323);
    MediaFramer framer;
    MediaReassembler reassembler;
    reassembler.reset(20000);
    for (int i = 0; i < 300; ++i) {
        framer.setMaxDatagram(5 + rng() % 3000);
        const std::size_t size = rng() % 20001;
        Bytes b = frameBuffer(size, static_cast<unsigned>(rng()));
        const Bytes original = b;
        Sent s;
        framer.sendFrame(b, std::ref(s));
        std::optional<MediaReassembler::Frame> frame;
        for (std::size_t k = 0; k < s.datagrams.size(); ++k) {
            frame = reassembler.accept(s.datagrams[k]);
            ASSERT_EQ(frame.has_value(), k + 1 == s.datagrams.size()) << i << " " << k;
        }
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->sequence, framer.lastSequence());
        ASSERT_EQ(frame->data.size(), size) << i;
        EXPECT_TRUE(std::equal(frame->data.begin(), frame->data.end(), original.begin() + 4)) << i;
        EXPECT_EQ(reassembler.fill(), 0u);
    }
}

}  // namespace
}  // namespace kova
