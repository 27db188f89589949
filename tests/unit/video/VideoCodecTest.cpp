#include "video/VideoCodec.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "support/TempDir.h"
#include "unit/video/FakeVideoCodec.h"

namespace kova {
namespace {

using test::FakeCodecProvider;
using test::RecordingBalloons;
using test::TempDir;

const BitmapInfoHeader kRaw = rgbFormat(176, 144);

struct Encoder {
    FakeCodecProvider codecs;
    RecordingBalloons balloons;
    std::vector<std::byte> image = std::vector<std::byte>(dibFrameSizeOf(kRaw));
    std::vector<std::byte> out = std::vector<std::byte>(dibFrameSizeOf(kRaw));

    bool compress(CVideoCodec& c) {
        std::size_t n = 0;
        return c.Compress(false, image, out, n);
    }
};

TEST(VideoCodecTest, NothingRunsBeforeASuccessfulSetUp) {
    Encoder e;
    CVideoCodec codec(e.codecs, &e.balloons);
    EXPECT_TRUE(codec.IsBusy());
    EXPECT_FALSE(e.compress(codec));
    EXPECT_EQ(codec.OutputImageSize(), 0u);

    e.codecs.missing = true;
    EXPECT_FALSE(codec.SetUp(fourCC('F', 'A', 'K', 'E'), kRaw, true, false));
    EXPECT_TRUE(codec.IsBusy());
    EXPECT_TRUE(e.balloons.texts.empty());  // the caller reports a missing codec
}

TEST(VideoCodecTest, SetUpOnAnOpenInstanceFailsWithoutTouchingIt) {
    Encoder e;
    CVideoCodec codec(e.codecs, &e.balloons);
    ASSERT_TRUE(codec.SetUp(fourCC('F', 'A', 'K', 'E'), kRaw, true, false));
    const BitmapInfoHeader out = codec.OutputFormat();
    EXPECT_EQ(codec.Mode(), 1);

    EXPECT_FALSE(codec.SetUp(0, rgbFormat(320, 240), false, true));
    EXPECT_EQ(e.codecs.log.locates, 1);
    EXPECT_TRUE(codec.IsEncoder());
    EXPECT_EQ(codec.Mode(), 1);
    EXPECT_EQ(codec.InputFormat(), kRaw);
    EXPECT_EQ(codec.OutputFormat(), out);
    EXPECT_TRUE(e.compress(codec));
}

TEST(VideoCodecTest, ModesQualityAndPreviousFrame) {
    Encoder e;
    {
        CVideoCodec fastEncoder(e.codecs, nullptr);
        ASSERT_TRUE(fastEncoder.SetUp(1, kRaw, true, true));
        EXPECT_EQ(fastEncoder.Mode(), 5);
        EXPECT_EQ(fastEncoder.Quality(), 500);
        EXPECT_TRUE(fastEncoder.HasPreviousFrame());
    }
    e.codecs.info.temporal = false;
    e.codecs.info.quality = false;
    CVideoCodec intra(e.codecs, nullptr);
    ASSERT_TRUE(intra.SetUp(1, kRaw, false, true));
    EXPECT_EQ(intra.Mode(), 3);
    EXPECT_EQ(intra.Quality(), 0);
    EXPECT_FALSE(intra.HasPreviousFrame());
}

TEST(VideoCodecTest, KeyFramesAfterBeginAfterAFailedFrameAndPastTheRestart) {
    Encoder e;
    CVideoCodec codec(e.codecs, &e.balloons);
    ASSERT_TRUE(codec.SetUp(1, kRaw, true, false));
    ASSERT_TRUE(e.compress(codec));
    ASSERT_TRUE(e.compress(codec));
    EXPECT_EQ(e.codecs.log.keyFrames, (std::vector<bool>{true, false}));
    EXPECT_EQ(e.codecs.log.compressBegins, 1);

    codec.SetFrameNumberForTest(CVideoCodec::kKeyFrameRestart);
    ASSERT_TRUE(e.compress(codec));  // 2,500,000 itself is not past the limit
    ASSERT_TRUE(e.compress(codec));  // 2,500,001 is
    EXPECT_EQ(e.codecs.log.keyFrames.back(), true);
    EXPECT_EQ(e.codecs.log.frameNumbers.back(), 0u);
    EXPECT_EQ(e.codecs.log.keyFrames[2], false);
    EXPECT_EQ(codec.FrameNumber(), 1u);

    // A frame too large for the output area fails, ends streaming, and the next
    // one begins again with a key frame.
    std::size_t n = 0;
    std::vector<std::byte> tiny(4);
    EXPECT_FALSE(codec.Compress(false, e.image, tiny, n));
    EXPECT_EQ(e.codecs.log.compressEnds, 1);
    EXPECT_FALSE(codec.IsBusy());
    ASSERT_TRUE(e.compress(codec));
    EXPECT_EQ(e.codecs.log.compressBegins, 2);
    EXPECT_EQ(e.codecs.log.keyFrames.back(), true);

    // A short image never reaches the codec.
    const auto calls = e.codecs.log.keyFrames.size();
    std::vector<std::byte> shortImage(100);
    EXPECT_FALSE(codec.Compress(false, shortImage, e.out, n));
    EXPECT_EQ(e.codecs.log.keyFrames.size(), calls);
}

TEST(VideoCodecTest, RefusedBeginsReportAndLockTheInstance) {
    Encoder e;
    e.codecs.refuseBegin = true;
    CVideoCodec encoder(e.codecs, &e.balloons);
    ASSERT_TRUE(encoder.SetUp(1, kRaw, true, false));
    EXPECT_FALSE(e.compress(encoder));
    EXPECT_FALSE(e.compress(encoder));
    EXPECT_EQ(e.codecs.log.compressBegins, 1);
    ASSERT_EQ(e.balloons.texts.size(), 1u);
    EXPECT_EQ(e.balloons.texts[0], "Video Codec is not supported image format");

    BitmapInfoHeader peer = kRaw;
    peer.compression = fourCC('I', 'V', '5', '0');
    CVideoCodec decoder(e.codecs, &e.balloons);
    ASSERT_TRUE(decoder.SetUp(0, peer, false, false));
    std::vector<std::byte> frame(8), picture(decoder.OutputImageSize());
    EXPECT_FALSE(decoder.Decompress(frame, picture));
    EXPECT_FALSE(decoder.Decompress(frame, picture));
    EXPECT_EQ(e.balloons.texts.back(), "Video Codec is not supported");
}

TEST(VideoCodecTest, LocateFaultsAreReportedByDirection) {
    Encoder e;
    e.codecs.throwOnLocate = true;
    CVideoCodec encoder(e.codecs, &e.balloons);
    EXPECT_FALSE(encoder.SetUp(1, kRaw, true, false));
    CVideoCodec decoder(e.codecs, &e.balloons);
    EXPECT_FALSE(decoder.SetUp(1, kRaw, false, false));
    EXPECT_EQ(e.balloons.texts, (std::vector<QString>{"Video Encoder format is not supported",
                                                      "Video Decoder format is not supported"}));
}

TEST(VideoCodecTest, DecoderOutputIsThePeerFormatUncompressed) {
    Encoder e;
    BitmapInfoHeader peer = rgbFormat(352, 288);
    peer.compression = fourCC('M', 'J', 'P', 'G');
    peer.sizeImage = 12345;
    peer.xPelsPerMeter = 77;
    CVideoCodec decoder(e.codecs, &e.balloons);
    ASSERT_TRUE(decoder.SetUp(fourCC('X', 'X', 'X', 'X'), peer, false, false));
    BitmapInfoHeader expected = peer;
    expected.compression = 0;
    EXPECT_EQ(decoder.OutputFormat(), expected);
    EXPECT_EQ(decoder.OutputImageSize(), 352u * 288 * 3);

    // A failed frame ends streaming; the next begins again.
    std::vector<std::byte> picture(decoder.OutputImageSize());
    EXPECT_FALSE(decoder.Decompress({}, picture));
    EXPECT_EQ(e.codecs.log.decompressEnds, 1);
    std::vector<std::byte> frame(8);
    EXPECT_TRUE(decoder.Decompress(frame, picture));
    EXPECT_EQ(e.codecs.log.decompressBegins, 2);
    // Too small a picture buffer takes no frame.
    std::vector<std::byte> small(100);
    EXPECT_FALSE(decoder.Decompress(frame, small));

    // A decoder's End is final.
    decoder.End();
    EXPECT_FALSE(decoder.Decompress(frame, picture));
}

TEST(VideoCodecTest, ImplausiblePeerSizesAreRefusedBeforeAnyAllocation) {
    Encoder e;
    BitmapInfoHeader peer = rgbFormat(100000, 100000);
    peer.compression = fourCC('M', 'J', 'P', 'G');
    CVideoCodec decoder(e.codecs, &e.balloons);
    EXPECT_FALSE(decoder.SetUp(0, peer, false, false));
    EXPECT_EQ(e.codecs.log.locates, 0);
    EXPECT_EQ(decoder.OutputImageSize(), 0u);
}

TEST(VideoCodecTest, EncoderEndLeavesItUsable) {
    Encoder e;
    CVideoCodec codec(e.codecs, &e.balloons);
    ASSERT_TRUE(codec.SetUp(1, kRaw, true, false));
    ASSERT_TRUE(e.compress(codec));
    codec.End();
    EXPECT_EQ(e.codecs.log.compressEnds, 1);
    ASSERT_TRUE(e.compress(codec));
    EXPECT_EQ(e.codecs.log.keyFrames, (std::vector<bool>{true, true}));
}

// An End from a nested loop inside a frame is left to that frame.
TEST(VideoCodecTest, EndDuringAFrameIsLeftToThatFrame) {
    Encoder e;
    CVideoCodec encoder(e.codecs, &e.balloons);
    ASSERT_TRUE(encoder.SetUp(1, kRaw, true, false));
    int endsInside = -1;
    e.codecs.log.duringFrame = [&] {
        encoder.End();
        endsInside = e.codecs.log.compressEnds;
    };
    ASSERT_TRUE(e.compress(encoder));
    EXPECT_EQ(endsInside, 0) << "streaming ended under the running frame";
    EXPECT_EQ(e.codecs.log.compressEnds, 1);
    e.codecs.log.duringFrame = nullptr;
    ASSERT_TRUE(e.compress(encoder));
    EXPECT_EQ(e.codecs.log.keyFrames, (std::vector<bool>{true, true}));
}

TEST(VideoCodecTest, LoadStateIgnoresMissingAndEmptyFilesAndPassesTheBlob) {
    TempDir dir;
    Encoder e;
    CVideoCodec codec(e.codecs, &e.balloons);
    ASSERT_TRUE(codec.SetUp(1, kRaw, true, false));
    const QString file = dir.path("fake.kova");
    const QString folder = QFileInfo(file).absolutePath();
    codec.LoadState(folder);
    EXPECT_TRUE(e.codecs.log.state.empty());

    EXPECT_EQ(CVideoCodec::StateFileName(folder, "fake"), file);
    TempDir::write(file, QByteArray());
    codec.LoadState(folder);
    EXPECT_TRUE(e.codecs.log.state.empty());

    TempDir::write(file, QByteArray("\x01\x02\x03", 3));
    codec.LoadState(folder);
    EXPECT_EQ(e.codecs.log.state,
              (std::vector<std::byte>{std::byte{1}, std::byte{2}, std::byte{3}}));
}

TEST(VideoCodecTest, ConfigureAsksOnlyForOptionsAndSavesWhatIsAccepted) {
    TempDir dir;
    FakeCodecProvider codecs;
    codecs.info.options = VideoOptionKind::None;
    RecordingBalloons balloons;
    EXPECT_FALSE(
        CVideoCodec::Configure(codecs, 1, QFileInfo(dir.path("x")).absolutePath(), {}, &balloons));
    EXPECT_FALSE(QFile::exists(dir.path("fake.kova")));
    EXPECT_TRUE(codecs.log.closed);

    // With options: the dialog opens on the saved state, and what it accepts is
    // saved; a cancel keeps the saved state.
    codecs.info.options = VideoOptionKind::Quality;
    VideoCodecOptions accepted;
    accepted.quality = 42;
    std::vector<std::uint32_t> shownQuality;
    const auto ask = [&](const VideoCodecInfo&, const VideoCodecOptions& options) {
        shownQuality.push_back(options.quality);
        return shownQuality.size() == 1 ? std::optional(accepted) : std::nullopt;
    };
    const QString folder = QFileInfo(dir.path("x")).absolutePath();
    EXPECT_TRUE(CVideoCodec::Configure(codecs, 1, folder, ask, &balloons));
    EXPECT_TRUE(CVideoCodec::Configure(codecs, 1, folder, ask, &balloons));
    EXPECT_EQ(shownQuality, (std::vector<std::uint32_t>{VideoCodecOptions::kDefaultQuality, 42}));
    const QByteArray saved = TempDir::read(dir.path("fake.kova"));
    EXPECT_EQ(VideoCodecOptions::decode(std::as_bytes(std::span(saved.data(), saved.size())))
                  .value_or(VideoCodecOptions{})
                  .quality,
              42u);

    codecs.throwOnLocate = true;
    EXPECT_FALSE(
        CVideoCodec::Configure(codecs, 1, QFileInfo(dir.path("x")).absolutePath(), {}, &balloons));
    EXPECT_EQ(balloons.texts, (std::vector<QString>{"Error open compressor!"}));
}

TEST(VideoCodecOptionsTest, RoundTripAndClamps) {
    VideoCodecOptions o;
    o.quality = 42;
    o.bitRateKbps = 900;
    o.keyFrameInterval = 15;
    const auto bytes = o.encode();
    EXPECT_EQ(VideoCodecOptions::decode(bytes), o);
    EXPECT_FALSE(VideoCodecOptions::decode(ByteSpan(bytes).first(15)));

    auto wild = bytes;
    writeLe<std::uint32_t>(wild, 4, 0);
    writeLe<std::uint32_t>(wild, 8, 1u << 31);
    writeLe<std::uint32_t>(wild, 12, 1u << 31);
    const auto clamped = VideoCodecOptions::decode(wild);
    ASSERT_TRUE(clamped);
    EXPECT_EQ(clamped->quality, 1u);
    EXPECT_EQ(clamped->bitRateKbps, VideoCodecOptions::kMaxBitRateKbps);
    EXPECT_EQ(clamped->keyFrameInterval, VideoCodecOptions::kMaxKeyFrameInterval);
}

}  // namespace
}  // namespace kova
