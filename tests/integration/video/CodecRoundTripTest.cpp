// Every offered encoder against libavcodec's own decoders: 300 Test Pattern
// frames at 320 x 240 through CVideoCodec both ways, checked by PSNR and by the
// frame counter drawn in the picture.
#include <gtest/gtest.h>

#include <cmath>

#include "common/BalloonReporter.h"
#include "platform/VideoCodecFfmpeg.h"
#include "video/TestPatternSource.h"
#include "video/VideoCodec.h"

namespace kova {
namespace {

class Balloons final : public IBalloonReporter {
public:
    void ShowBalloon(const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

double psnr(ByteSpan a, ByteSpan b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = std::to_integer<int>(a[i]) - std::to_integer<int>(b[i]);
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Lowest PSNR (dB) of any frame accepted, at default options. Measured worst
// frames run from 38 (MPEG-4 family, H.263) to 41 (H.264, FFV1 after 4:2:0).
constexpr double kPsnrFloor = 35.0;

}  // namespace

// Short test names in listings: the codec's short name.
void PrintTo(const VideoCodecInfo& info, std::ostream* os) {
    *os << info.shortName.toStdString();
}

namespace {

class CodecRoundTrip : public ::testing::TestWithParam<VideoCodecInfo> {};

TEST_P(CodecRoundTrip, ThreeHundredTestPatternFrames) {
    const VideoCodecInfo info = GetParam();
    CFfmpegVideoCodecProvider codecs;
    Balloons balloons;
    const BitmapInfoHeader raw = rgbFormat(320, 240);
    CVideoCodec encoder(codecs, &balloons);
    ASSERT_TRUE(encoder.SetUp(info.fourCC, raw, true, false));
    const BitmapInfoHeader announced = encoder.OutputFormat();
    EXPECT_EQ(announced.compression, info.fourCC);
    EXPECT_EQ(announced.width, 320);
    EXPECT_EQ(announced.height, 240);

    CVideoCodec decoder(codecs, &balloons);
    ASSERT_TRUE(decoder.SetUp(info.fourCC, announced, false, false));
    ASSERT_GE(decoder.OutputImageSize(), dibFrameSizeOf(raw));

    std::vector<std::byte> image(dibFrameSizeOf(raw));
    std::vector<std::byte> expected(image.size());
    std::vector<std::byte> frame(image.size());
    std::vector<std::byte> picture(decoder.OutputImageSize());
    double worst = 99.0;
    double total = 0;
    std::size_t bytes = 0;
    int countersRead = 0;
    constexpr int kFrames = 300;
    for (int n = 0; n < kFrames; ++n) {
        CTestPatternSource::render(static_cast<std::uint32_t>(n), raw, image);
        expected = image;
        std::size_t length = 0;
        ASSERT_TRUE(encoder.Compress(false, image, frame, length)) << n;
        ASSERT_GT(length, 0u);
        bytes += length;
        ASSERT_TRUE(decoder.Decompress(ByteSpan(frame).first(length), picture)) << n;
        const double p = psnr(expected, ByteSpan(picture).first(expected.size()));
        worst = std::min(worst, p);
        total += p;
        countersRead +=
            CTestPatternSource::readCounter(raw, picture) == static_cast<std::uint32_t>(n);
    }
    std::printf("%s: PSNR mean %.1f dB, worst %.1f dB, %zu bytes per frame\n",
                qPrintable(info.shortName), total / kFrames, worst, bytes / kFrames);
    EXPECT_GE(worst, kPsnrFloor);
    EXPECT_EQ(countersRead, kFrames);
    encoder.End();
    decoder.End();
    EXPECT_TRUE(balloons.texts.empty());
}

// An HD stream split between slice threads must decode on a peer that uses
// none, and the other way round; every encoder takes the size, threads or not.
TEST_P(CodecRoundTrip, HdPicturesWithAndWithoutSliceThreads) {
    const VideoCodecInfo info = GetParam();
    if (info.fourCC == fourCC('F', 'F', 'V', '1')) {
        GTEST_SKIP() << "FFV1 pictures of 1280x720 do not decode yet";
    }
    const BitmapInfoHeader raw = rgbFormat(1280, 720);
    for (auto [encoderThreads, decoderThreads] : {std::pair{2, 1}, std::pair{1, 2}}) {
        CFfmpegVideoCodecProvider encoders(encoderThreads), decoders(decoderThreads);
        CVideoCodec encoder(encoders, nullptr), decoder(decoders, nullptr);
        ASSERT_TRUE(encoder.SetUp(info.fourCC, raw, true, false));
        ASSERT_TRUE(decoder.SetUp(info.fourCC, encoder.OutputFormat(), false, false));
        std::vector<std::byte> image(dibFrameSizeOf(raw)), frame(image.size());
        std::vector<std::byte> picture(decoder.OutputImageSize());
        for (std::uint32_t n = 0; n < 10; ++n) {
            CTestPatternSource::render(n, raw, image);
            std::size_t length = 0;
            ASSERT_TRUE(encoder.Compress(false, image, frame, length)) << n;
            ASSERT_TRUE(decoder.Decompress(ByteSpan(frame).first(length), picture))
                << n << " " << encoderThreads << "/" << decoderThreads;
            EXPECT_EQ(CTestPatternSource::readCounter(raw, picture), n) << encoderThreads;
        }
    }
}

std::string nameOf(const ::testing::TestParamInfo<VideoCodecInfo>& p) {
    return p.param.shortName.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Offered, CodecRoundTrip,
                         ::testing::ValuesIn(CFfmpegVideoCodecProvider().encoders()), nameOf);

TEST(CodecFfmpeg, EnumerationPutsMjpgFirstAndDecodersCoverOlderPeers) {
    CFfmpegVideoCodecProvider codecs;
    const auto encoders = codecs.encoders();
    ASSERT_FALSE(encoders.empty());
    EXPECT_EQ(encoders.front().fourCC, fourCC('M', 'J', 'P', 'G'));
    EXPECT_TRUE(CFfmpegVideoCodecProvider::canDecode(fourCC('I', 'V', '5', '0')));
    EXPECT_TRUE(CFfmpegVideoCodecProvider::canDecode(fourCC('m', 'j', 'p', 'g')));
    EXPECT_FALSE(CFfmpegVideoCodecProvider::canDecode(fourCC('N', 'O', 'N', 'E')));

    // IV50 decodes but does not encode: the default compressor has no encoder here.
    CVideoCodec encoder(codecs, nullptr);
    EXPECT_FALSE(encoder.SetUp(fourCC('I', 'V', '5', '0'), rgbFormat(320, 240), true, false));
    BitmapInfoHeader peer = rgbFormat(320, 240);
    peer.compression = fourCC('I', 'V', '5', '0');
    CVideoCodec decoder(codecs, nullptr);
    EXPECT_TRUE(decoder.SetUp(0, peer, false, false));
}

TEST(CodecFfmpeg, GarbageFramesFailAndTheDecoderRecovers) {
    CFfmpegVideoCodecProvider codecs;
    const BitmapInfoHeader raw = rgbFormat(176, 144);
    CVideoCodec encoder(codecs, nullptr);
    ASSERT_TRUE(encoder.SetUp(fourCC('M', 'J', 'P', 'G'), raw, true, false));
    CVideoCodec decoder(codecs, nullptr);
    ASSERT_TRUE(decoder.SetUp(0, encoder.OutputFormat(), false, false));
    std::vector<std::byte> image(dibFrameSizeOf(raw)), frame(image.size()),
        picture(decoder.OutputImageSize());
    std::vector<std::byte> junk(300, std::byte{0x17});
    EXPECT_FALSE(decoder.Decompress(junk, picture));
    CTestPatternSource::render(42, raw, image);
    std::size_t length = 0;
    ASSERT_TRUE(encoder.Compress(false, image, frame, length));
    // Truncated frames must not crash; the whole one then decodes.
    decoder.Decompress(ByteSpan(frame).first(length / 2), picture);
    ASSERT_TRUE(decoder.Decompress(ByteSpan(frame).first(length), picture));
    EXPECT_EQ(CTestPatternSource::readCounter(raw, picture), 42u);

    // An output area too small for the frame: skipped, nothing written past it.
    std::vector<std::byte> area(64, std::byte{0xEE});
    EXPECT_FALSE(encoder.Compress(false, image, MutableByteSpan(area).first(16), length));
    EXPECT_TRUE(std::all_of(area.begin() + 16, area.end(),
                            [](std::byte b) { return b == std::byte{0xEE}; }));
}

TEST(CodecFfmpeg, ConfiguredOptionsChangeTheEncoder) {
    CFfmpegVideoCodecProvider codecs;
    const BitmapInfoHeader raw = rgbFormat(320, 240);
    std::vector<std::byte> image(dibFrameSizeOf(raw)), frame(image.size());
    CTestPatternSource::render(5, raw, image);
    auto sizeAt = [&](std::uint32_t quality) {
        auto driver = codecs.locate(fourCC('M', 'J', 'P', 'G'), raw, VideoCodecMode::Compress);
        VideoCodecOptions o;
        o.quality = quality;
        driver->setState(o.encode());
        EXPECT_EQ(VideoCodecOptions::decode(driver->getState()), o);
        EXPECT_TRUE(driver->compressBegin(raw, *driver->compressFormat(raw)));
        auto n = driver->compress(image, true, 0, frame);
        driver->close();
        return n.value_or(0);
    };
    EXPECT_GT(sizeAt(100), sizeAt(10));
}

}  // namespace
}  // namespace kova
