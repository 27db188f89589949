// The channel's checks that need no bound port; traffic is in the integration tests.
#include "media/MediaSocket.h"

#include <gtest/gtest.h>

#include "common/WindowMessages.h"
#include "media/MediaSizes.h"

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
    QObject target;
    struct Case {
        int message;
        std::uint64_t size;
        bool opens;
    };
    // Port 0: the accepted cases bind a free port, never the program's.
    for (const Case c :
         {Case{MSG_VIDEO_DATA, videoFrameSize(huge), false},
          Case{MSG_VIDEO_DATA, videoFrameSize(wraps), false},
          Case{MSG_VIDEO_DATA, kMaxVideoFrameSize + 1, false},
          Case{MSG_VIDEO_DATA, kMaxVideoFrameSize, true},
          Case{MSG_AUDIO_DATA, kMaxAudioFrameSize + 1, false}, Case{MSG_AUDIO_DATA, 5, true},
          Case{MSG_AUDIO_DATA, 4, false}, Case{MSG_VIDEO_DATA, 0, false}}) {
        EXPECT_EQ(channel.Open(&target, "127.0.0.2", c.message, c.size, 0, 65507), c.opens)
            << c.size;
        EXPECT_EQ(channel.isActive(), c.opens) << c.size;
        EXPECT_EQ(channel.isOpen(), c.opens) << c.size;  // an open one was closed first
        EXPECT_EQ(channel.maxFrame(), c.opens ? c.size : 0u) << c.size;
    }
}

TEST(MediaSocket, DatagramLimitIsWhatTheSocketLayerCanSend) {
    CMediaSocket channel(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(channel.maxDatagram(), 512u);
    channel.Open(nullptr, "127.0.0.2", MSG_AUDIO_DATA, 4, 0, 65535);
    EXPECT_EQ(channel.maxDatagram(), 65507u);
}

}  // namespace
}  // namespace kova
