#include "audio/WaveFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>

#include "AudioFakes.h"
#include "AudioTestSignals.h"
#include "audio/AudioCompressorDlg.h"
#include "audio/SoundPlayer.h"
#include "support/TempDir.h"

namespace kova {
namespace {

using namespace kova::test;

std::vector<std::byte> bytesOf(const char* s, std::size_t n) {
    const auto* p = reinterpret_cast<const std::byte*>(s);
    return {p, p + n};
}

TEST(WaveFile, RoundTripsPcmAndGsm) {
    WaveFile pcm{WaveFormat::pcm(8000, 16, 1), sinePcm(440, 101)};
    const auto pcmBytes = pcm.encode();
    EXPECT_EQ(pcmBytes.size(), 44u + 202);  // the classic 44-byte header
    EXPECT_EQ(WaveFile::decode(pcmBytes), pcm);

    WaveFile gsm{WaveFormat::defaultDestination(), std::vector<std::byte>(65 * 3, std::byte{7})};
    const auto gsmBytes = gsm.encode();
    const auto back = WaveFile::decode(gsmBytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, gsm);
    // fmt carries 20 bytes (cbSize 2, 320 samples per block); fact counts 960 samples.
    EXPECT_EQ(readLe<std::uint32_t>(gsmBytes, 16), 20u);
    EXPECT_EQ(std::memcmp(gsmBytes.data() + 40, "fact", 4), 0);
    EXPECT_EQ(readLe<std::uint32_t>(gsmBytes, 48), 960u);
}

TEST(WaveFile, SkipsUnknownChunksAndCutsAShortDataChunk) {
    WaveFile pcm{WaveFormat::pcm(8000, 16, 1), sinePcm(440, 50)};
    auto bytes = pcm.encode();
    // An odd-sized LIST chunk before fmt, padded to a word.
    const auto list = bytesOf(
        "LIST\x03\x00\x00\x00"
        "abc\x00",
        12);
    bytes.insert(bytes.begin() + 12, list.begin(), list.end());
    EXPECT_EQ(WaveFile::decode(bytes)->data, pcm.data);
    // The data chunk claims more than the file holds.
    bytes.resize(bytes.size() - 20);
    EXPECT_EQ(WaveFile::decode(bytes)->data.size(), 80u);
    EXPECT_FALSE(WaveFile::decode(bytesOf("RIFF\0\0\0\0WAVE", 12)));
    EXPECT_FALSE(WaveFile::decode(bytesOf("RIFX\0\0\0\0WAVEfmt ", 16)));
}

TEST(SoundPlayer, PlaysAFileThroughTheOutputAndStaysSilentOnFailure) {
    TempDir dir;
    WaveFile ring{WaveFormat::pcm(8000, 16, 1), sinePcm(440, 8000)};
    const auto bytes = ring.encode();
    TempDir::write(dir.path("ring.wav"),
                   QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    AudioCodecLibav codecs;
    FakeWaveOut out;
    std::atomic<bool> cancel{false};
    ASSERT_TRUE(CSoundPlayer::playFile(dir.path("ring.wav"), out, codecs, cancel));
    std::size_t total = 0;
    for (const auto& w : out.written) {
        total += w.size();
    }
    EXPECT_EQ(total, 16000u);
    EXPECT_FALSE(out.opened);  // closed at the end
    EXPECT_FALSE(CSoundPlayer::playFile(dir.path("missing.wav"), out, codecs, cancel));
    TempDir::write(dir.path("junk.wav"), "RIFF junk");
    EXPECT_FALSE(CSoundPlayer::playFile(dir.path("junk.wav"), out, codecs, cancel));

    // The asynchronous player with a fake output.
    int made = 0;
    CSoundPlayer player(
        [&made] {
            ++made;
            return std::make_unique<FakeWaveOut>();
        },
        &codecs);
    player.play(dir.path("ring.wav"));
    player.wait();
    player.play(dir.path("missing.wav"));
    player.wait();
    EXPECT_EQ(made, 2);
}

TEST(AudioCompressorDlg, ListsFormatNamesAndAttributes) {
    AudioCodecLibav codecs;
    const auto formats = codecs.formatsFrom(WaveFormat::pcm(8000, 16, 1));
    CAudioCompressorDlg dlg(nullptr, "Select Audio Compressor", formats,
                            WaveFormat::defaultDestination(), codecs);
    EXPECT_EQ(dlg.windowTitle(), "Select Audio Compressor");
    EXPECT_EQ(dlg.tagCombo()->count(), 6);  // PCM holds two attribute entries
    EXPECT_EQ(dlg.tagCombo()->currentText(), "GSM 6.10");
    EXPECT_EQ(dlg.attributeCombo()->currentText(), "8.000 kHz, Mono  2 KB/s");
    EXPECT_EQ(dlg.selected(), WaveFormat::defaultDestination());
    dlg.tagCombo()->setCurrentIndex(dlg.tagCombo()->findText("PCM"));
    EXPECT_EQ(dlg.attributeCombo()->count(), 2);
    EXPECT_EQ(dlg.attributeCombo()->itemText(0), "8.000 kHz, 16 Bit, Mono  16 KB/s");
    EXPECT_EQ(dlg.selected(), WaveFormat::pcm(8000, 16, 1));
}

}  // namespace
}  // namespace kova
