#include "audio/AudioCapture.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "AudioFakes.h"
#include "AudioTestSignals.h"

namespace kova {
namespace {

using namespace kova::test;

struct CaptureRig {
    FakeWaveIn device;
    RecordingCodecs codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    FakeSink sink;
    CAudioCapture capture{device, codecs, balloons, prompt, chooser};
    CaptureRig() { capture.setMediaSocket(&sink); }
};

TEST(AudioCapture, BufferArithmetic) {
    // 0 ms: one-sample recording buffers, 64-sample chunks.
    EXPECT_EQ(CAudioCapture::recordBufferBytes(0, 8000, 2), 2u);
    EXPECT_EQ(CAudioCapture::sourceChunkBytes(0, 8000, 2), 128u);
    // Defaults: 10 ms buffers, 50 ms chunks.
    EXPECT_EQ(CAudioCapture::recordBufferBytes(50, 8000, 2), 160u);
    EXPECT_EQ(CAudioCapture::sourceChunkBytes(50, 8000, 2), 800u);
    EXPECT_EQ(CAudioCapture::recordBufferBytes(200, 8000, 2), 640u);
    EXPECT_EQ(CAudioCapture::sourceChunkBytes(200, 8000, 2), 3200u);
}

TEST(AudioCapture, DefaultsQueueFiveBuffersAndSendOneGsmBlockPerStep) {
    CaptureRig rig;
    rig.capture.Start();
    ASSERT_TRUE(rig.capture.isRunning());
    EXPECT_EQ(rig.device.bufferCount, 5);
    EXPECT_EQ(rig.device.sizes, std::vector<std::size_t>(5, 160));
    EXPECT_EQ(rig.device.openedIndex, 0);
    EXPECT_EQ(rig.capture.sourceChunkSize(), 800u);
    EXPECT_EQ(rig.capture.destinationSize(), 130u);

    // 1600 bytes = two chunks: two steps, each converting one 640-byte block.
    rig.device.feed(sinePcm(440, 800));
    while (rig.codecs.allFlags().size() < 2) {
        QThread::msleep(1);
    }
    rig.capture.Stop();
    EXPECT_FALSE(rig.capture.isRunning());
    EXPECT_FALSE(rig.device.opened);
    EXPECT_EQ(rig.capture.allocatedBuffers(), 0);
    const auto frames = rig.sink.all();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), 65u + 4);
    EXPECT_EQ(frames[1].size(), 65u + 4);
    const auto flags = rig.codecs.allFlags();
    EXPECT_EQ(flags[0], kConvertStart | kConvertBlockAlign);  // only the first carries start
    EXPECT_EQ(flags[1], std::uint32_t{kConvertBlockAlign});
    EXPECT_TRUE(rig.balloons.all().isEmpty());
}

TEST(AudioCapture, GsmFramesLeaveOnTheirLastBlockAndMatchWholeChunkFrames) {
    CaptureRig rig;
    rig.capture.Start();
    ASSERT_TRUE(rig.capture.isRunning());
    // 1280 bytes: the first chunk's block, then a second block complete
    // 480 bytes later, without waiting for the 160 that would fill the chunk.
    const auto pcm = sinePcm(440, 960);
    rig.device.feed(ByteSpan(pcm).first(1280));
    while (rig.sink.all().size() < 2) {
        QThread::msleep(1);
    }
    rig.device.feed(ByteSpan(pcm).subspan(1280));
    while (rig.sink.all().size() < 3) {
        QThread::msleep(1);
    }
    rig.capture.Stop();
    // The same blocks as one conversion of the first 1920 bytes gives.
    AudioCodecLibav codecs;
    auto stream = codecs.openStream(rig.capture.sourceFormat(),
                                    *WaveFormat::decode(rig.capture.destinationFormat()));
    std::vector<std::byte> whole(195);
    const auto r =
        stream->convert(ByteSpan(pcm).first(1920), whole, kConvertStart | kConvertBlockAlign);
    ASSERT_EQ(r.produced, 195u);
    const auto frames = rig.sink.all();
    ASSERT_EQ(frames.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::equal(frames[i].begin() + 4, frames[i].end(), whole.begin() + i * 65,
                               whole.begin() + (i + 1) * 65));
    }
}

TEST(AudioCapture, TagZeroDestinationSendsPcm) {
    CaptureRig rig;
    std::array<std::byte, 18> none{};
    rig.capture.setDestinationFormat(none);
    rig.capture.Start();
    ASSERT_TRUE(rig.capture.isRunning());
    EXPECT_EQ(WaveFormat::decode(rig.capture.destinationFormat())->formatTag, WaveFormat::kTagPcm);
    const auto pcm = sinePcm(440, 400);
    rig.device.feed(pcm);
    while (rig.sink.all().empty()) {
        QThread::msleep(1);
    }
    rig.capture.Stop();
    const auto frame = rig.sink.all()[0];
    ASSERT_EQ(frame.size(), 800u + 4);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), frame.begin() + 4));
}

TEST(AudioCapture, DestinationFormatKeepsAtMost146Bytes) {
    CaptureRig rig;
    std::vector<std::byte> longer(200);
    for (std::size_t i = 0; i < longer.size(); ++i) {
        longer[i] = static_cast<std::byte>(i);
    }
    rig.capture.setDestinationFormat(longer);
    EXPECT_TRUE(std::equal(rig.capture.destinationFormat().begin(),
                           rig.capture.destinationFormat().end(), longer.begin()));
    // An empty block changes nothing.
    rig.capture.setDestinationFormat({});
    EXPECT_EQ(rig.capture.destinationFormat()[145], std::byte{145});
}

TEST(AudioCapture, DeviceEndingWithoutStopFlushesWithTheEndFlag) {
    CaptureRig rig;
    rig.device.endWhenDry = true;
    rig.capture.Start();
    // 300 bytes: less than a chunk; nothing sent until the device ends.
    rig.device.feed(sinePcm(440, 150));
    rig.capture.waitCaptureThread();
    EXPECT_FALSE(rig.capture.isRunning());
    const auto flags = rig.codecs.allFlags();
    ASSERT_FALSE(flags.empty());
    EXPECT_TRUE(flags.back() & kConvertEnd);
    EXPECT_FALSE(flags.back() & kConvertBlockAlign);
    const auto frames = rig.sink.all();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 65u + 4);  // the 150 samples padded to one block
    rig.capture.Stop();
}

TEST(AudioCapture, FlushWithNothingCollectedSendsOneSilentBlock) {
    CaptureRig rig;
    rig.device.endWhenDry = true;
    rig.capture.Start();
    rig.capture.waitCaptureThread();
    ASSERT_EQ(rig.codecs.sourceSizes.size(), 1u);
    EXPECT_EQ(rig.codecs.sourceSizes[0], 2u);  // one block of silence
    EXPECT_EQ(rig.sink.all().size(), 1u);
    rig.capture.Stop();
}

TEST(AudioCapture, OpenFailuresShowTheirTextAndLeaveCaptureOff) {
    {
        CaptureRig rig;
        rig.device.failOpen = true;
        EXPECT_EQ(rig.capture.Start(), 1);
        EXPECT_FALSE(rig.capture.isRunning());
        EXPECT_EQ(rig.balloons.all(), QStringList{"Not possible to open record device"});
    }
    {
        CaptureRig rig;
        rig.device.refuseAfter = 2;
        rig.capture.Start();
        EXPECT_EQ(rig.balloons.all(), QStringList{"Not possible return data to record device!"});
        EXPECT_FALSE(rig.device.opened);
    }
    {
        CaptureRig rig;
        WaveFormat unknown = WaveFormat::defaultDestination();
        unknown.formatTag = 0x0055;
        rig.capture.setDestinationFormat(unknown.encode());
        rig.capture.Start();
        EXPECT_EQ(rig.balloons.all(), QStringList{"Not possible open audio sream!"});
    }
    {
        CaptureRig rig;
        rig.codecs.zeroSize = true;
        rig.capture.Start();
        EXPECT_EQ(rig.balloons.all(), QStringList{"Not enouth space for audio buffer"});
    }
    {
        CaptureRig rig;
        rig.device.failStart = true;
        rig.capture.Start();
        EXPECT_EQ(rig.balloons.all(), QStringList{"Not possible run audio stream"});
        EXPECT_FALSE(rig.capture.isRunning());
    }
}

TEST(AudioCapture, FailedConversionStopsCaptureAndWarns) {
    CaptureRig rig;
    rig.codecs.failConvert = true;
    rig.capture.Start();
    rig.device.feed(sinePcm(440, 400));
    rig.capture.waitCaptureThread();
    EXPECT_FALSE(rig.capture.isRunning());
    EXPECT_TRUE(rig.sink.all().empty());
    QCoreApplication::processEvents();  // the warning is queued to the UI thread
    ASSERT_EQ(rig.prompt.asked.size(), 1u);
    EXPECT_EQ(rig.prompt.asked[0].text, "Not possible convert audio data for sending");
    EXPECT_EQ(rig.prompt.asked[0].type, 1);
    rig.capture.Stop();
}

TEST(AudioCapture, ChooserAsksAgainUntilTheSecondButton) {
    CaptureRig rig;
    // A format the peer could not play: the check fails on every pass.
    CAudioCapture capture(rig.device, rig.codecs, rig.balloons, rig.prompt, rig.chooser,
                          [](const WaveFormat&) { return false; });
    rig.chooser.pick = WaveFormat::defaultDestination();
    rig.prompt.answers = {1, 2};
    CAudioCapture::FormatArea area{};
    capture.ChooseCodec(nullptr, area);
    EXPECT_EQ(rig.chooser.titles,
              QStringList({"Select Audio Compressor", "Select Audio Compressor"}));
    ASSERT_EQ(rig.prompt.asked.size(), 2u);
    EXPECT_EQ(
        rig.prompt.asked[0].text,
        "Fast compression with codec GSM 6.10 isn't supported! \nDo you want to get another?");
    EXPECT_EQ(rig.prompt.asked[0].caption, "KOVA");
    EXPECT_EQ(rig.prompt.asked[0].type, 3);
    // The failing format stays.
    EXPECT_EQ(WaveFormat::decode(area)->formatTag, WaveFormat::kTagGsm610);
    // Only formats the 8000 Hz mono source converts to were offered.
    for (const auto& f : rig.chooser.offered) {
        EXPECT_EQ(f.samplesPerSec, 8000u);
        EXPECT_EQ(f.channels, 1);
    }
}

TEST(AudioCapture, ChooserEndsAtOnceOnAUsableFormatAndFallsBackToPcmOnAFault) {
    CaptureRig rig;
    rig.chooser.pick = rig.codecs.formatsFrom(rig.capture.sourceFormat())[3];  // IMA ADPCM
    CAudioCapture::FormatArea area{};
    rig.capture.ChooseCodec(nullptr, area);
    EXPECT_EQ(rig.chooser.titles.size(), 1);
    EXPECT_TRUE(rig.prompt.asked.empty());
    EXPECT_EQ(WaveFormat::decode(area)->formatTag, WaveFormat::kTagImaAdpcm);

    FakeChooser faulty;
    faulty.fault = true;
    CAudioCapture capture(rig.device, rig.codecs, rig.balloons, rig.prompt, faulty);
    rig.prompt.answers = {2};
    capture.ChooseCodec(nullptr, area);
    ASSERT_EQ(rig.prompt.asked.size(), 1u);
    EXPECT_EQ(
        rig.prompt.asked[0].text,
        "Fast compression with codec IMA ADPCM isn't supported!\n Do you want to get another?");
    EXPECT_EQ(*WaveFormat::decode(area), WaveFormat::pcm(8000, 16, 1));
}

TEST(AudioCapture, RealTimeCheckAndCodecName) {
    CaptureRig rig;
    EXPECT_TRUE(rig.capture.IsRealTime());
    EXPECT_EQ(rig.capture.CodecName(), "GSM 6.10");
    WaveFormat unknown = WaveFormat::defaultDestination();
    unknown.formatTag = 0x0055;
    rig.capture.setDestinationFormat(unknown.encode());
    EXPECT_FALSE(rig.capture.IsRealTime());
    EXPECT_EQ(rig.capture.CodecName(), "");
}

TEST(AudioCapture, DeviceListPositionsAreDeviceIndexes) {
    CaptureRig rig;
    const QStringList devices = rig.capture.deviceList();
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[0], "default");
    rig.capture.setDeviceIndex(1);
    rig.capture.Start();
    EXPECT_EQ(rig.device.openedIndex, 1);
    rig.capture.Stop();
}

}  // namespace
}  // namespace kova
