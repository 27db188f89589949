#include "config/AvSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "formats/WaveFormat.h"
#include "support/TempDir.h"
#include "unit/config/FileSizeLimit.h"

namespace kova {
namespace {

using test::TempDir;

QByteArray image(const AvSettings& s) {
    const auto bytes = s.encode();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::uint32_t u32At(const QByteArray& b, int at) {
    return readLe<std::uint32_t>(std::as_bytes(std::span(b.data(), b.size())), at);
}
std::uint16_t u16At(const QByteArray& b, int at) {
    return readLe<std::uint16_t>(std::as_bytes(std::span(b.data(), b.size())), at);
}

AvSettings sample() {
    AvSettings s;
    s.captureFormat.size = 40;
    s.captureFormat.width = 640;
    s.captureFormat.height = 480;
    s.captureFormat.bitCount = 24;
    s.compressorFourCC = fourCC('M', 'J', 'P', 'G');
    s.audioFormat[0] = std::byte{0x31};
    s.audioFormat[145] = std::byte{0x7F};
    s.audioDeviceIndex = -2;
    s.audioBufferLength = 200;
    s.unused194 = 0xBEEF;
    s.videoSourceName.setText(u"Test Pattern");
    s.videoCodecName.setText(u"Motion JPEG");
    s.backgroundColour = 0x00A0B0C0;
    s.charFormat[91] = std::byte{9};
    s.chatPlacement = {10, 20, 410, 320};
    s.backgroundMode = 2;
    s.backgroundImagePath.setText(u"/home/u/p\u00e4per.png");
    s.unused1342 = 0xCAFE;
    return s;
}

TEST(AvSettingsFormat, FieldsSitAtTheirOffsetsLittleEndian) {
    const QByteArray b = image(sample());
    ASSERT_EQ(b.size(), 1344);
    EXPECT_EQ(u32At(b, 4), 640u);
    EXPECT_EQ(b.mid(40, 4), QByteArray("MJPG"));
    EXPECT_EQ(static_cast<unsigned char>(b[44]), 0x31);
    EXPECT_EQ(static_cast<unsigned char>(b[189]), 0x7F);
    EXPECT_EQ(u16At(b, 190), 0xFFFE);
    EXPECT_EQ(u16At(b, 192), 200);
    EXPECT_EQ(u16At(b, 194), 0xBEEF);
    EXPECT_EQ(u16At(b, 196), u'T');
    EXPECT_EQ(u16At(b, 196 + 2 * 12), 0);  // NUL after "Test Pattern"
    EXPECT_EQ(u16At(b, 452), u'M');
    EXPECT_EQ(u32At(b, 708), 0x00A0B0C0u);
    EXPECT_EQ(static_cast<unsigned char>(b[803]), 9);
    EXPECT_EQ(u32At(b, 816), 320u);
    EXPECT_EQ(u16At(b, 820), 2);
    EXPECT_EQ(u16At(b, 822), u'/');
    EXPECT_EQ(u16At(b, 1342), 0xCAFE);
}

TEST(AvSettingsFormat, RoundTripsAndRefusesShortInput) {
    const AvSettings s = sample();
    const auto bytes = s.encode();
    EXPECT_EQ(AvSettings::decode(bytes), s);
    EXPECT_FALSE(AvSettings::decode(std::span(bytes).first(1343)).has_value());
}

TEST(AvSettingsFormat, TextFieldsAreCutInsideTheirField) {
    AvSettings s;
    s.videoSourceName.setText(std::u16string(300, u'x'));
    EXPECT_EQ(s.videoSourceName.text().size(), 127u);
    const QByteArray b = image(s);
    EXPECT_EQ(u16At(b, 196 + 2 * 127), 0);
    EXPECT_EQ(u16At(b, 452), 0);  // the next field is untouched

    // A pair cut in half would leave a lone surrogate behind.
    std::u16string text(126, u'a');
    text += u"\U0001F600";
    s.videoCodecName.setText(text);
    EXPECT_EQ(s.videoCodecName.text(), std::u16string(126, u'a'));
}

class AvSettingsFile : public ::testing::Test {
protected:
    TempDir dir;
    QString path = dir.path(QStringLiteral("avset.cfg"));
};

TEST_F(AvSettingsFile, MissingFileGivesTheDefaults) {
    const AvSettings s = loadAvSettings(path);
    EXPECT_EQ(s.compressorFourCC, 0x30355649u);
    EXPECT_EQ(s.audioBufferLength, 50);
    EXPECT_EQ(s.captureFormat, BitmapInfoHeader{});
    EXPECT_EQ(s.audioDeviceIndex, 0);
    const auto gsm = WaveFormat::decode(s.audioFormat);
    ASSERT_TRUE(gsm.has_value());
    EXPECT_EQ(*gsm, WaveFormat::defaultDestination());
    EXPECT_EQ(gsm->formatTag, 0x0031);
    EXPECT_EQ(gsm->blockAlign, 65);
    EXPECT_EQ(gsm->avgBytesPerSec, 1625u);
    EXPECT_EQ(readLe<std::uint16_t>(gsm->extra, 0), 320);
    EXPECT_EQ(s.audioFormat[20], std::byte{0});
}

TEST_F(AvSettingsFile, ShortFileIsDeletedAndDefaultsUsed) {
    QByteArray bytes(1343, '\x11');
    TempDir::write(path, bytes);
    const AvSettings s = loadAvSettings(path);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(s.compressorFourCC, AvSettings::kDefaultCompressor);
    EXPECT_EQ(s.backgroundColour, 0u);  // the whole record was zeroed, not read
    EXPECT_EQ(s.audioBufferLength, 50);
}

TEST_F(AvSettingsFile, LongFileIsReadAndKeepsItsTailWhenSaved) {
    AvSettings stored = sample();
    QByteArray bytes = image(stored);
    QByteArray tail(2000 - 1344, '\x5A');
    tail[0] = '\x01';
    TempDir::write(path, bytes + tail);

    AvSettings s = loadAvSettings(path);
    EXPECT_EQ(s, stored);
    s.audioBufferLength = 100;
    ASSERT_TRUE(saveAvSettings(path, s));

    const QByteArray saved = TempDir::read(path);
    ASSERT_EQ(saved.size(), 2000);
    EXPECT_EQ(u16At(saved, 192), 100);
    EXPECT_EQ(saved.mid(1344), tail);
}

TEST_F(AvSettingsFile, LoadClampsBufferLengthAndCaptureSize) {
    struct Case {
        std::uint16_t buffer;
        std::int32_t width, height;
        std::uint16_t wantBuffer;
        std::int32_t wantWidth, wantHeight;
    };
    for (const Case c : {Case{20, 1281, 480, 50, 320, 240}, Case{0, -1, 480, 50, 320, 240},
                         Case{49, 640, 1281, 50, 320, 240}, Case{50, 0, 0, 50, 0, 0},
                         Case{200, 1280, 1024, 200, 1280, 1024}}) {
        AvSettings stored = sample();
        stored.audioBufferLength = c.buffer;
        stored.captureFormat.width = c.width;
        stored.captureFormat.height = c.height;
        TempDir::write(path, image(stored));
        const AvSettings s = loadAvSettings(path);
        EXPECT_EQ(s.audioBufferLength, c.wantBuffer) << c.buffer;
        EXPECT_EQ(s.captureFormat.width, c.wantWidth) << c.width << "x" << c.height;
        EXPECT_EQ(s.captureFormat.height, c.wantHeight) << c.width << "x" << c.height;
        EXPECT_EQ(s.captureFormat.bitCount, 24) << "other header fields stay";
        EXPECT_EQ(s.compressorFourCC, stored.compressorFourCC) << "a full file keeps its codec";
    }
}

TEST_F(AvSettingsFile, SaveWritesAWholeImageAndLeavesNoTemporaryFiles) {
    ASSERT_TRUE(saveAvSettings(path, loadAvSettings(path)));
    const QByteArray saved = TempDir::read(path);
    ASSERT_EQ(saved.size(), 1344);
    EXPECT_EQ(saved.mid(40, 4), QByteArray("IV50"));
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files),
              QStringList{QStringLiteral("avset.cfg")});
}

TEST_F(AvSettingsFile, UnwritableFolderFails) {
    EXPECT_FALSE(saveAvSettings(dir.path(QStringLiteral("no/such/folder/avset.cfg")), {}));
}

TEST_F(AvSettingsFile, FailedWriteKeepsTheOldFileWhole) {
    const QByteArray before = image(sample()) + QByteArray(100, '\x5A');
    TempDir::write(path, before);
    for (rlim_t limit : {rlim_t{0}, rlim_t{700}, rlim_t{1344}}) {
        test::FileSizeLimit full(limit);
        const auto result = saveAvSettings(path, sample());
        EXPECT_FALSE(result.reason.isEmpty()) << limit;
        EXPECT_EQ(TempDir::read(path), before) << limit;
        EXPECT_EQ(QDir(dir.path({})).entryList(QDir::Files), QStringList{"avset.cfg"}) << limit;
    }
}

}  // namespace
}  // namespace kova
