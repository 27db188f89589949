#include "video/RecDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>

#include "audio/BalansWnd.h"
#include "common/BalloonReporter.h"
#include "platform/VideoCodecFfmpeg.h"
#include "unit/audio/AudioFakes.h"
#include "unit/video/FakeVideoCodec.h"
#include "video/StatsOverlay.h"

namespace kova {
namespace {

TEST(RecDlg, CaptionNamesThePeerOrSaysReceived) {
    EXPECT_EQ(CRecDlg("Ann", {}).caption(), "Receiving from Ann");
    EXPECT_EQ(CRecDlg("", {}).caption(), "Received");
}

TEST(RecDlg, VideoLevelFollowsThePictureRate) {
    EXPECT_EQ(CRecDlg::videoLevelFor(0), 2000) << "two pictures in one millisecond";
    EXPECT_EQ(CRecDlg::videoLevelFor(-3), 2000);
    EXPECT_EQ(CRecDlg::videoLevelFor(33), 60);
}

TEST(RecDlg, RateCountsPayloadKilobitsPerSecond) {
    EXPECT_EQ(CRecDlg::rateFor(12800), "Download Rate: 100.0 kbps");
    EXPECT_EQ(CRecDlg::rateFor(0), "Download Rate: 0.0 kbps");
    EXPECT_EQ(CRecDlg::rateFor(1000), "Download Rate: 7.8 kbps");
}

TEST(RecDlg, PeerValuesAndLabels) {
    CRecDlg dlg("Ann", {});
    CallParameters peer;
    peer.audioBufferMs = 5;
    dlg.SetPeer(fourCC('M', 'J', 'P', 'G'), peer, 0);
    EXPECT_EQ(dlg.audioBufferMs(), 10) << "a buffer below 10 ms counts as 10";
    EXPECT_EQ(dlg.videoLabel(), "Video: MJPG");
    dlg.OpenMedia();
    EXPECT_EQ(dlg.audioLevel()->maximum(), 201);
    EXPECT_EQ(dlg.videoLevel()->maximum(), 2001) << "a frame rate of 0 reads as 1";
}

TEST(RecDlg, FullScreenMenuHasNoZoomAndEscapeReturnsToTheZoom) {
    CRecDlg dlg("Ann", {});
    using R = CRecDlg;
    EXPECT_EQ(dlg.menuCommands(), (QList<int>{R::ID_ZOOM_50, R::ID_ZOOM_100, R::ID_ZOOM_200,
                                              R::ID_FULL_SCREEN, R::ID_STATISTICS, 0, R::ID_MIC_UP,
                                              R::ID_MIC_DOWN, 0, R::ID_DISCONNECT_MENU}));
    dlg.onCommand(R::ID_ZOOM_200);
    EXPECT_EQ(dlg.zoom(), 2.0);
    dlg.onCommand(R::ID_FULL_SCREEN);
    EXPECT_TRUE(dlg.fullScreen());
    EXPECT_EQ(dlg.menuCommands(), (QList<int>{R::ID_FULL_SCREEN, R::ID_STATISTICS, 0, R::ID_MIC_UP,
                                              R::ID_MIC_DOWN, 0, R::ID_DISCONNECT_MENU}));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &esc);
    EXPECT_FALSE(dlg.fullScreen());
    EXPECT_EQ(dlg.zoom(), 2.0);
}

TEST(RecDlg, AHugePeerPictureIsUnsupportedAndSoundGoesOn) {
    CFfmpegVideoCodecProvider codecs;
    QStringList warnings;
    CRecDlg::Services services;
    services.videoCodecs = &codecs;
    services.warn = [&warnings](const QString& text) { warnings << text; };
    struct Balloons : IBalloonReporter {
        void ShowBalloon(const QString&) override {}
    } balloons;
    services.balloons = &balloons;
    CRecDlg dlg("Ann", services);
    CallParameters peer;
    peer.video.size = 40;
    peer.video.width = 65535;
    peer.video.height = 65535;
    peer.video.planes = 1;
    peer.video.bitCount = 32;
    peer.video.compression = fourCC('M', 'J', 'P', 'G');
    dlg.SetPeer(fourCC('M', 'J', 'P', 'G'), peer, 0);
    dlg.OpenMedia();
    // Not from inside the start (its loop could end the window), and not for a
    // window gone by then.
    EXPECT_TRUE(warnings.isEmpty());
    auto* gone = new CRecDlg("Bob", services);
    gone->SetPeer(fourCC('M', 'J', 'P', 'G'), peer, 0);
    gone->OpenMedia();
    delete gone;
    QCoreApplication::processEvents();
    EXPECT_EQ(warnings, QStringList{"Video Decompressor: MJPG is not supported!"});
}

TEST(RecDlg, FramesOfBothChannelsReachThePictureAndTheInjectedOutput) {
    test::FakeCodecProvider videoCodecs;
    AudioCodecLibav audioCodecs;
    test::FakeBalloons balloons;
    test::FakeWaveOut* out = nullptr;
    LinkStatistics stats;
    CRecDlg::Services services;
    services.statistics = &stats;
    services.videoCodecs = &videoCodecs;
    services.audioCodecs = &audioCodecs;
    services.balloons = &balloons;
    services.makeWaveOut = [&out] {
        auto device = std::make_unique<test::FakeWaveOut>();
        out = device.get();
        return device;
    };
    CRecDlg dlg("Ann", services);
    CallParameters peer;
    peer.video = rgbFormat(160, 120);
    peer.audioFormat = WaveFormat::pcm(8000, 16, 1).toArea();
    peer.audioBufferMs = 10;
    dlg.SetPeer(fourCC('F', 'A', 'K', 'E'), peer, 160);
    const QRect area = dlg.screen()->availableGeometry();
    dlg.move(area.bottomRight() - QPoint(20, 20));
    ASSERT_TRUE(dlg.OpenMedia());
    EXPECT_TRUE(area.contains(dlg.frameGeometry())) << "the window stays on the screen";
    ASSERT_TRUE(out != nullptr && out->opened);
    EXPECT_EQ(out->openedFormat, WaveFormat::pcm(8000, 16, 1));

    // Each frame is played in the order of its sequence value, not of arrival.
    const auto pcm = [](int tag) { return std::vector<std::byte>(160, std::byte(tag)); };
    for (const auto& [sequence, tag] : {std::pair{7, 1}, {9, 3}, {8, 2}}) {
        dlg.onMediaFrame(MediaFrame{std::uint8_t(sequence), MediaSource::Audio, pcm(tag)});
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return out->count() >= 3; }, 5000));
    {
        std::lock_guard lock(out->mutex);
        EXPECT_EQ(out->written, (std::vector{pcm(1), pcm(2), pcm(3)}));
    }
    dlg.onMediaFrame(MediaFrame{3, MediaSource::Video, std::vector<std::byte>(10, std::byte{1})});
    EXPECT_EQ(videoCodecs.log.decompressBegins, 1);
    dlg.showRate();
    EXPECT_EQ(dlg.rateText(), CRecDlg::rateFor(3 * 160 + 10));

    dlg.onCommand(CRecDlg::ID_STATISTICS);
    ASSERT_TRUE(dlg.statisticsOverlay()->isVisibleTo(&dlg));
    dlg.showStatistics();
    EXPECT_TRUE(stats.last().queueMs.has_value()) << "the player's queue is sampled";
    EXPECT_EQ(dlg.statisticsOverlay()->lines(), LinkStatistics::lines(stats.last()));
    dlg.onCommand(CRecDlg::ID_STATISTICS);
    EXPECT_FALSE(dlg.statisticsOverlay()->isVisibleTo(&dlg));
}

}  // namespace
}  // namespace kova
