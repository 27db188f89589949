#include "platform/AudioCodecStream.h"

#include <gtest/gtest.h>

#include "AudioTestSignals.h"
#include "platform/AudioCodecLibav.h"

namespace kova {
namespace {

using test::samplesOf;
using test::sinePcm;

const WaveFormat kPcm = WaveFormat::pcm(8000, 16, 1);

TEST(AudioCodecStream, GsmConvertsWholeBlocksUnlessEnding) {
    auto enc = AudioCodecStream::open(kPcm, WaveFormat::defaultDestination());
    ASSERT_NE(enc, nullptr);
    EXPECT_EQ(enc->destinationSize(800), 130u);
    EXPECT_EQ(enc->destinationSize(640), 65u);
    const auto pcm = sinePcm(440, 400);
    std::vector<std::byte> out(130);
    auto r = enc->convert(pcm, out, kConvertStart | kConvertBlockAlign);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.used, 640u);
    EXPECT_EQ(r.produced, 65u);
    // Less than one block: nothing, so the caller can tell "no progress".
    r = enc->convert(ByteSpan(pcm).first(160), out, kConvertBlockAlign);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.used, 0u);
    EXPECT_EQ(r.produced, 0u);
    // The end flag pads: two bytes become one whole block.
    r = enc->convert(ByteSpan(pcm).first(2), out, kConvertEnd);
    EXPECT_EQ(r.used, 2u);
    EXPECT_EQ(r.produced, 65u);
}

struct RoundTrip {
    WaveFormat format;
    double minSnrDb;
};

class AudioCodecRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(AudioCodecRoundTrip, SineSurvivesEncodeAndDecode) {
    AudioCodecLibav codecs;
    const auto formats = codecs.formatsFrom(kPcm);
    ASSERT_EQ(formats.size(), 7u);  // PCM 16, PCM 8, GSM, IMA, MS, A-law, u-law
    const WaveFormat& f = formats[GetParam()];
    auto enc = codecs.openStream(kPcm, f);
    auto dec = codecs.openStream(f, *codecs.suggestPcm(f));
    ASSERT_TRUE(enc && dec) << f.formatTag;
    const auto pcm = sinePcm(440, 8000);
    std::vector<std::byte> coded(*enc->destinationSize(16000));
    auto r = enc->convert(pcm, coded, kConvertStart | kConvertEnd);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.used, pcm.size());
    EXPECT_EQ(r.produced % f.blockAlign, 0u);
    // A second of audio costs about the format's bytes per second.
    EXPECT_NEAR(double(r.produced), double(f.avgBytesPerSec), f.blockAlign);
    coded.resize(r.produced);
    std::vector<std::byte> back(*dec->destinationSize(coded.size()));
    r = dec->convert(coded, back, kConvertBlockAlign);
    ASSERT_TRUE(r.ok);
    EXPECT_GE(r.produced, pcm.size());
    const double snr = test::snrDb(samplesOf(pcm), samplesOf(back));
    EXPECT_GT(snr, f.formatTag == WaveFormat::kTagGsm610 ? 5.0 : 15.0) << f.formatTag;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, AudioCodecRoundTrip, ::testing::Range(0, 7));

TEST(AudioCodecStream, RefusesFormatsOutsideTheTable) {
    WaveFormat gsm = WaveFormat::defaultDestination();
    EXPECT_TRUE(AudioCodecStream::supported(kPcm, gsm));
    gsm.blockAlign = 64;
    EXPECT_FALSE(AudioCodecStream::supported(kPcm, gsm));
    WaveFormat other = WaveFormat::defaultDestination();
    other.formatTag = 0x0055;  // MPEG layer 3: not ours
    EXPECT_FALSE(AudioCodecStream::supported(kPcm, other));
    // Rate mismatch between the PCM side and the coded side.
    EXPECT_FALSE(AudioCodecStream::supported(WaveFormat::pcm(16000, 16, 1),
                                             WaveFormat::defaultDestination()));
    // Neither side is 16-bit PCM.
    EXPECT_FALSE(AudioCodecStream::supported(WaveFormat::pcm(8000, 8, 1), gsm));
    WaveFormat ima = AudioCodecLibav().formatsFrom(kPcm)[3];
    ima.extra[0] = std::byte{7};  // samples per block that do not fit the block
    EXPECT_FALSE(AudioCodecStream::supported(ima, kPcm));
}

TEST(AudioCodecLibav, NamesTagsAndSuggestsPcm) {
    AudioCodecLibav codecs;
    EXPECT_EQ(codecs.tagName(0x0001), "PCM");
    EXPECT_EQ(codecs.tagName(0x0031), "GSM 6.10");
    EXPECT_EQ(codecs.tagName(0x0011), "IMA ADPCM");
    EXPECT_EQ(codecs.tagName(0x0002), "MS ADPCM");
    EXPECT_EQ(codecs.tagName(0x0006), "CCITT A-Law");
    EXPECT_EQ(codecs.tagName(0x0007), "CCITT u-Law");
    EXPECT_EQ(codecs.tagName(0x1234), "");
    EXPECT_EQ(codecs.suggestPcm(WaveFormat::defaultDestination()), kPcm);
    const auto ms = codecs.formatsFrom(kPcm)[4];
    EXPECT_EQ(ms.formatTag, WaveFormat::kTagAdpcmMs);
    EXPECT_EQ(ms.blockAlign, 256);
    EXPECT_EQ(ms.extraWord(), 500);
    EXPECT_EQ(ms.extra.size(), 32u);
}

TEST(AudioCodecStream, DamagedBlocksDecodeToSilenceOfTheirLength) {
    auto dec = AudioCodecStream::open(WaveFormat::defaultDestination(), kPcm);
    ASSERT_NE(dec, nullptr);
    std::vector<std::byte> junk(65 * 3 + 7, std::byte{0xFF});
    std::vector<std::byte> out(*dec->destinationSize(static_cast<std::uint32_t>(junk.size())));
    const auto r = dec->convert(junk, out, kConvertBlockAlign);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.used, 195u);
    EXPECT_EQ(r.produced, 3u * 640u);
}

}  // namespace
}  // namespace kova
