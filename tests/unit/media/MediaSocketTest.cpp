// The channel's checks that need no bound port; traffic is in the integration tests.
#include "media/MediaSocket.h"

#include <gtest/gtest.h>

#include "media/MediaSizes.h"
#include "unit/media/RecordingFrameSink.h"

namespace kova {
namespace {

TEST(MediaSocket, AbsurdOrEmptyFrameSizesLeaveTheChannelClosed) {
    BitmapInfoHeader huge;
    huge.width = 65535;
    huge.height = 65535;
    huge.bitCount = 32;
    BitmapInfoHeader largest;
    largest.width = 1280;
    largest.height = 1024;
    largest.bitCount = 32;
    ASSERT_EQ(videoFrameSize(largest), kMaxVideoFrameSize);
    // Sides whose product with the bit count passes 2^64 by a few bytes: it
    // must not wrap round to a small size.
    BitmapInfoHeader wraps;
    wraps.width = 2147380029;
    wraps.height = -357931212;
    wraps.bitCount = 24;
    ASSERT_GT(videoFrameSize(wraps), kMaxVideoFrameSize);

    CMediaSocket channel(QStringLiteral("127.0.0.1"));
    test::RecordingFrameSink target;
    struct Case {
        MediaSource source;
        std::uint64_t size;
        bool opens;
    };
    // Port 0: the accepted cases bind a free port, never the program's.
    for (const Case c : {Case{MediaSource::Video, videoFrameSize(huge), false},
                         Case{MediaSource::Video, videoFrameSize(wraps), false},
                         Case{MediaSource::Video, kMaxVideoFrameSize + 1, false},
                         Case{MediaSource::Video, kMaxVideoFrameSize, true},
                         Case{MediaSource::Audio, kMaxAudioFrameSize + 1, false},
                         Case{MediaSource::Audio, 5, true}, Case{MediaSource::Audio, 4, false},
                         Case{MediaSource::Video, 0, false}}) {
        EXPECT_EQ(channel.Open(&target, "127.0.0.2", c.source, c.size, 0, 65507), c.opens)
            << c.size;
        EXPECT_EQ(channel.isActive(), c.opens) << c.size;
        EXPECT_EQ(channel.isOpen(), c.opens) << c.size;  // an open one was closed first
        EXPECT_EQ(channel.maxFrame(), c.opens ? c.size : 0u) << c.size;
    }
}

TEST(MediaSocket, DatagramLimitIsWhatTheSocketLayerCanSend) {
    CMediaSocket channel(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(channel.maxDatagram(), 512u);
    channel.Open(nullptr, "127.0.0.2", MediaSource::Audio, 4, 0, 65535);
    EXPECT_EQ(channel.maxDatagram(), 65507u);
}

}  // namespace
}  // namespace kova
