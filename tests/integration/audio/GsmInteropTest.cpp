// GSM 6.10 frames against an independent implementation: frames from our
// capture path, wrapped in a WAV file (tag 0x0031, 65-byte blocks of 320
// samples), decode with sox; sox's GSM WAV files play through our player.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "../../unit/audio/AudioFakes.h"
#include "../../unit/audio/AudioTestSignals.h"
#include "audio/AudioCapture.h"
#include "audio/AudioPlayer.h"
#include "audio/WaveFile.h"
#include "support/TempDir.h"

namespace kova {
namespace {

using namespace kova::test;

bool haveSox() {
    return !QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty();
}

QByteArray toQt(const std::vector<std::byte>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

std::vector<std::byte> fromQt(const QByteArray& b) {
    const auto* p = reinterpret_cast<const std::byte*>(b.constData());
    return {p, p + b.size()};
}

bool runSox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(GsmInterop, CaptureFramesDecodeWithSox) {
    if (!haveSox()) {
        GTEST_SKIP() << "SKIPPED: sox is not installed";
    }
    FakeWaveIn device;
    device.endWhenDry = true;
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    FakeSink sink;
    CAudioCapture capture(device, codecs, balloons, prompt, chooser);
    capture.setMediaSocket(&sink);
    const auto input = sinePcm(440, 16000);  // two seconds
    device.feed(input);
    capture.Start();
    capture.waitCaptureThread();
    capture.Stop();

    WaveFile wav{WaveFormat::defaultDestination(), {}};
    for (const auto& f : sink.all()) {
        ASSERT_EQ((f.size() - 4) % 65, 0u);
        wav.data.insert(wav.data.end(), f.begin() + 4, f.end());
    }
    // Every sample sent; the end flush pads the tail to a whole block, or adds
    // one block of silence when the samples ended on a block boundary.
    EXPECT_GE(wav.data.size(), (16000 + 319) / 320 * 65);
    EXPECT_LE(wav.data.size(), (16000 + 319) / 320 * 65 + 65);
    TempDir dir;
    TempDir::write(dir.path("ours.wav"), toQt(wav.encode()));
    ASSERT_TRUE(runSox({dir.path("ours.wav"), "-t", "raw", "-e", "signed", "-b", "16", "-c", "1",
                        "-r", "8000", dir.path("ours.raw")}));
    const auto decoded = samplesOf(fromQt(TempDir::read(dir.path("ours.raw"))));
    ASSERT_GE(decoded.size(), 16000u);
    EXPECT_NEAR(dominantHz(decoded), 440, 10);
    const double snr = snrDb(samplesOf(input), decoded);
    std::printf("GSM 6.10 via sox: SNR %.1f dB\n", snr);
    RecordProperty("snr_db", std::to_string(snr));
    EXPECT_GT(snr, 5.0);
}

TEST(GsmInterop, SoxGsmFramesPlayThroughOurPlayer) {
    if (!haveSox()) {
        GTEST_SKIP() << "SKIPPED: sox is not installed";
    }
    TempDir dir;
    ASSERT_TRUE(runSox({"-n", "-r", "8000", "-c", "1", "-e", "gsm-full-rate", dir.path("sox.wav"),
                        "synth", "1", "sine", "440"}));
    const auto wav = WaveFile::decode(fromQt(TempDir::read(dir.path("sox.wav"))));
    ASSERT_TRUE(wav);
    ASSERT_EQ(wav->format.formatTag, WaveFormat::kTagGsm610);
    ASSERT_EQ(wav->format.blockAlign, 65);
    ASSERT_EQ(wav->format.extraWord(), 320);

    FakeWaveOut out;
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    SimClock clock;
    CAudioPlayer player(out, codecs, balloons, &clock);
    player.setPlayoutThread(false);
    player.SetPeerFormat(wav->format.toArea(), 50, CAudioPlayer::slotCapacityFor(wav->format, 50),
                         nullptr);
    ASSERT_EQ(player.OpenDevice(), 0);
    // One block per frame, every 40 ms, as a peer with 50 ms buffers sends them.
    int seq = 0;
    for (std::size_t at = 0; at + 65 <= wav->data.size(); at += 65) {
        clock.at(clock.now + static_cast<std::uint32_t>(at / 65) * 40,
                 [&player, &wav, at, s = (++seq) % 10] {
                     player.PutFrame(ByteSpan(wav->data).subspan(at, 65), s);
                 });
    }
    const std::uint32_t end = clock.now + 1500;
    while (clock.now < end) {
        const auto before = clock.now;
        player.queue().cycle();
        if (clock.now == before) {
            clock.advance(1);
        }
    }
    player.CloseDevice();
    std::vector<std::byte> pcm;
    for (const auto& w : out.written) {
        pcm.insert(pcm.end(), w.begin(), w.end());
    }
    EXPECT_EQ(out.written.size(), wav->data.size() / 65);
    const auto samples = samplesOf(pcm);
    ASSERT_GE(samples.size(), 7680u);
    EXPECT_NEAR(dominantHz(samples), 440, 10);
    EXPECT_GT(rms(samples), 1000.0);
}

}  // namespace
}  // namespace kova
