// Two media channels on the loopback network, at 127.0.0.1 and 127.0.0.2 on the
// program's ports, as two peers' channels would be.
#include "media/MediaSocket.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTest>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "platform/UdpSocket.h"
#include "unit/media/RecordingFrameSink.h"

namespace kova {
namespace {

using Bytes = std::vector<std::byte>;
using FrameRecorder = test::RecordingFrameSink;

// A send buffer: 4 reserved bytes and `size` random bytes.
Bytes frameBuffer(std::size_t size, std::mt19937& rng) {
    Bytes b(4 + size);
    for (std::size_t i = 4; i < b.size(); ++i) {
        b[i] = static_cast<std::byte>(rng());
    }
    return b;
}

Bytes payloadOf(const Bytes& buffer) {
    return Bytes(buffer.begin() + 4, buffer.end());
}

// Other tests of the suite may still hold a port for a moment.
void openWhenFree(CMediaSocket& channel, FrameRecorder* target, const QString& peer,
                  MediaSource source, std::uint64_t n, std::uint16_t port) {
    QDeadlineTimer deadline(10000);
    do {
        channel.Open(target, peer, source, n, port, UdpSocket::kMaxDatagram);
    } while (!channel.isOpen() && !deadline.hasExpired() && (QTest::qWait(50), true));
    ASSERT_TRUE(channel.isOpen()) << "port " << port << " is taken";
}

struct Peers {
    explicit Peers(std::uint16_t port, MediaSource source, std::uint64_t n = 300 * 1024)
        : a(QStringLiteral("127.0.0.1")), b(QStringLiteral("127.0.0.2")) {
        openWhenFree(a, &atA, "127.0.0.2", source, n, port);
        openWhenFree(b, &atB, "127.0.0.1", source, n, port);
    }
    CMediaSocket a;
    CMediaSocket b;
    FrameRecorder atA;
    FrameRecorder atB;
};

bool waitFor(const FrameRecorder& r, std::size_t count) {
    return QTest::qWaitFor([&] { return r.frames.size() >= count; }, 5000);
}

TEST(MediaSocket, ThousandPacedFramesArriveIntactAndInOrder) {
    Peers p(CMediaSocket::kVideoPort, MediaSource::Video);
    ASSERT_FALSE(HasFailure());
    std::mt19937 rng(2937);
    constexpr std::size_t kMax = 300 * 1024;
    constexpr std::size_t kD = UdpSocket::kMaxDatagram;
    // The edges first: one datagram exactly, one byte more, empty, the largest.
    std::vector<std::size_t> sizes{kD - 4, kD - 3, 0, kMax};
    while (sizes.size() < 1000) {
        sizes.push_back(rng() % (kMax + 1));
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        Bytes buffer = frameBuffer(sizes[i], rng);
        const Bytes sent = payloadOf(buffer);
        p.a.SendFrame(buffer);
        ASSERT_TRUE(waitFor(p.atB, i + 1)) << "frame " << i << " of " << sizes[i] << " bytes";
        const auto& got = p.atB.frames[i];
        ASSERT_EQ(got.bytes.size(), sent.size()) << i;
        ASSERT_TRUE(got.bytes == sent) << i;
        ASSERT_EQ(got.sequence, static_cast<int>((i + 1) % 10)) << i;
        ASSERT_EQ(got.source, MediaSource::Video) << i;
    }
    EXPECT_EQ(p.atB.frames.size(), sizes.size());
    EXPECT_EQ(p.b.lastSourceIpv4(), 0x7F000001u);

    // The numbering runs on into the next call.
    p.a.Deactivate();
    p.a.Close();
    openWhenFree(p.a, &p.atA, "127.0.0.2", MediaSource::Video, 1000, CMediaSocket::kVideoPort);
    Bytes next = frameBuffer(10, rng);
    p.a.SendFrame(next);
    ASSERT_TRUE(waitFor(p.atB, sizes.size() + 1));
    EXPECT_EQ(p.atB.frames.back().sequence, 1);
}

TEST(MediaSocket, OnlyThePeerIsHeard) {
    Peers p(CMediaSocket::kVideoPort, MediaSource::Video);
    ASSERT_FALSE(HasFailure());
    UdpSocket wrongPort;
    UdpSocket otherHost;
    ASSERT_EQ(wrongPort.open(0, "127.0.0.1"), 0);
    ASSERT_EQ(otherHost.open(CMediaSocket::kVideoPort, "127.0.0.3"), 0);
    const std::array<std::byte, 6> fromWrongPort{std::byte{3}, {},           std::byte{6},
                                                 {},           std::byte{1}, std::byte{1}};
    const std::array<std::byte, 6> fromOtherHost{std::byte{4}, {},           std::byte{6},
                                                 {},           std::byte{2}, std::byte{2}};
    ASSERT_EQ(wrongPort.sendTo(fromWrongPort, "127.0.0.2", CMediaSocket::kVideoPort), 0);
    ASSERT_EQ(otherHost.sendTo(fromOtherHost, "127.0.0.2", CMediaSocket::kVideoPort), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.b.strangerDatagrams() == 1; }, 5000));
    EXPECT_EQ(p.b.lastSourceIpv4(), 0x7F000003u);
    Bytes own(6, std::byte{5});
    p.a.SendFrame(own);
    ASSERT_TRUE(waitFor(p.atB, 1));
    QTest::qWait(50);
    ASSERT_EQ(p.atB.frames.size(), 1u);
    EXPECT_EQ(p.atB.frames[0].bytes, (Bytes{std::byte{5}, std::byte{5}}));
}

TEST(MediaSocket, NothingIsDeliveredAfterDeactivateOrToAGoneWindow) {
    Peers p(CMediaSocket::kVideoPort, MediaSource::Video);
    ASSERT_FALSE(HasFailure());
    std::mt19937 rng(1);
    p.b.Deactivate();
    Bytes one = frameBuffer(100000, rng);
    p.a.SendFrame(one);
    QTest::qWait(200);
    EXPECT_TRUE(p.atB.frames.empty());

    // A new call's Open with no usable size closes the channel.
    EXPECT_FALSE(p.b.Open(&p.atB, "127.0.0.1", MediaSource::Video, 4, CMediaSocket::kVideoPort,
                          UdpSocket::kMaxDatagram));
    EXPECT_FALSE(p.b.isOpen());

    // The receiving window closed during the call: frames are read and dropped.
    auto* gone = new FrameRecorder;
    openWhenFree(p.b, gone, "127.0.0.1", MediaSource::Video, 300 * 1024, CMediaSocket::kVideoPort);
    delete gone;
    p.a.SendFrame(one);
    QTest::qWait(100);
    EXPECT_TRUE(p.atB.frames.empty());
    p.b.Open(&p.atB, "127.0.0.1", MediaSource::Video, 300 * 1024, CMediaSocket::kVideoPort,
             UdpSocket::kMaxDatagram);
    Bytes two = frameBuffer(70000, rng);
    const Bytes sent = payloadOf(two);
    p.a.SendFrame(two);
    ASSERT_TRUE(waitFor(p.atB, 1));
    EXPECT_EQ(p.atB.frames[0].bytes, sent);
}

// Audio capture sends from its own thread while the UI thread receives on the
// same channel and the call is opened and closed around it.
TEST(MediaSocket, SendsFromAnotherThreadWhileTheOwnerReceives) {
    Peers p(CMediaSocket::kAudioPort, MediaSource::Audio, 4096);
    ASSERT_FALSE(HasFailure());
    constexpr int kFrames = 300;
    std::atomic<int> sent{0};
    std::thread capture([&] {
        std::mt19937 rng(2938);
        for (int i = 0; i < kFrames; ++i) {
            Bytes b = frameBuffer(65, rng);
            b[4] = static_cast<std::byte>(i);
            b[5] = static_cast<std::byte>(i >> 8);
            p.a.SendFrame(b);
            sent.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::mt19937 rng(7);
    int back = 0;
    while (sent.load() < kFrames) {
        Bytes b = frameBuffer(300, rng);
        p.b.SendFrame(b);
        ++back;
        QTest::qWait(1);
    }
    capture.join();
    ASSERT_TRUE(waitFor(p.atB, kFrames));
    ASSERT_TRUE(waitFor(p.atA, static_cast<std::size_t>(back)));
    for (int i = 0; i < kFrames; ++i) {
        const auto& f = p.atB.frames[static_cast<std::size_t>(i)];
        ASSERT_EQ(f.bytes.size(), 65u);
        EXPECT_EQ(std::to_integer<int>(f.bytes[0]) | std::to_integer<int>(f.bytes[1]) << 8, i);
        EXPECT_EQ(f.sequence, (i + 1) % 10);
        EXPECT_EQ(f.source, MediaSource::Audio);
    }

    // Reopening while the other thread sends: sends are dropped while the
    // socket changes, never run on a socket being replaced, and never waited for.
    std::atomic<bool> stop{false};
    std::thread again([&] {
        std::mt19937 r(3);
        while (!stop.load()) {
            Bytes b = frameBuffer(5000, r);
            p.a.SendFrame(b);
        }
    });
    for (int i = 0; i < 20; ++i) {
        p.a.Deactivate();
        p.a.Close();
        p.a.Open(&p.atA, "127.0.0.2", MediaSource::Audio, 8192, CMediaSocket::kAudioPort,
                 UdpSocket::kMaxDatagram);
        QTest::qWait(2);
    }
    stop.store(true);
    again.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.a.isActive(); }, 1000));
}

}  // namespace
}  // namespace kova
