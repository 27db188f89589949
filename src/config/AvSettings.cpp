#include "config/AvSettings.h"

#include <QFile>

#include "formats/WaveFormat.h"
#include "platform/FileReplace.h"

namespace kova {

namespace {

constexpr std::size_t kCaptureFormatAt = 0;
constexpr std::size_t kCompressorAt = 40;
constexpr std::size_t kAudioFormatAt = 44;
constexpr std::size_t kAudioDeviceAt = 190;
constexpr std::size_t kAudioBufferAt = 192;
constexpr std::size_t kUnused194At = 194;
constexpr std::size_t kVideoSourceAt = 196;
constexpr std::size_t kVideoCodecAt = 452;
constexpr std::size_t kBackgroundColourAt = 708;
constexpr std::size_t kCharFormatAt = 712;
constexpr std::size_t kChatPlacementAt = 804;
constexpr std::size_t kBackgroundModeAt = 820;
constexpr std::size_t kBackgroundImageAt = 822;
constexpr std::size_t kUnused1342At = 1342;

static_assert(kUnused1342At + 2 == AvSettings::kSize);
static_assert(kBackgroundImageAt + decltype(AvSettings::backgroundImagePath)::kBytes ==
              kUnused1342At);

}  // namespace

std::optional<AvSettings> AvSettings::decode(ByteSpan b) {
    if (b.size() < kSize) {
        return std::nullopt;
    }
    AvSettings s;
    s.captureFormat = BitmapInfoHeader::read(b, kCaptureFormatAt);
    s.compressorFourCC = readLe<std::uint32_t>(b, kCompressorAt);
    s.audioFormat = readArray<kAudioFormatSize>(b, kAudioFormatAt);
    s.audioDeviceIndex = readLe<std::int16_t>(b, kAudioDeviceAt);
    s.audioBufferLength = readLe<std::uint16_t>(b, kAudioBufferAt);
    s.unused194 = readLe<std::uint16_t>(b, kUnused194At);
    s.videoSourceName = FixedUtf16<128>::read(b, kVideoSourceAt);
    s.videoCodecName = FixedUtf16<128>::read(b, kVideoCodecAt);
    s.backgroundColour = readLe<std::uint32_t>(b, kBackgroundColourAt);
    s.charFormat = readArray<kCharFormatSize>(b, kCharFormatAt);
    s.chatPlacement = {readLe<std::int32_t>(b, kChatPlacementAt),
                       readLe<std::int32_t>(b, kChatPlacementAt + 4),
                       readLe<std::int32_t>(b, kChatPlacementAt + 8),
                       readLe<std::int32_t>(b, kChatPlacementAt + 12)};
    s.backgroundMode = readLe<std::uint16_t>(b, kBackgroundModeAt);
    s.backgroundImagePath = FixedUtf16<260>::read(b, kBackgroundImageAt);
    s.unused1342 = readLe<std::uint16_t>(b, kUnused1342At);
    return s;
}

std::array<std::byte, AvSettings::kSize> AvSettings::encode() const {
    std::array<std::byte, kSize> out{};
    captureFormat.write(out, kCaptureFormatAt);
    writeLe(out, kCompressorAt, compressorFourCC);
    writeArray(out, kAudioFormatAt, audioFormat);
    writeLe(out, kAudioDeviceAt, audioDeviceIndex);
    writeLe(out, kAudioBufferAt, audioBufferLength);
    writeLe(out, kUnused194At, unused194);
    videoSourceName.write(out, kVideoSourceAt);
    videoCodecName.write(out, kVideoCodecAt);
    writeLe(out, kBackgroundColourAt, backgroundColour);
    writeArray(out, kCharFormatAt, charFormat);
    writeLe(out, kChatPlacementAt, chatPlacement.left);
    writeLe(out, kChatPlacementAt + 4, chatPlacement.top);
    writeLe(out, kChatPlacementAt + 8, chatPlacement.right);
    writeLe(out, kChatPlacementAt + 12, chatPlacement.bottom);
    writeLe(out, kBackgroundModeAt, backgroundMode);
    backgroundImagePath.write(out, kBackgroundImageAt);
    writeLe(out, kUnused1342At, unused1342);
    return out;
}

void AvSettings::applyDefaults() {
    compressorFourCC = kDefaultCompressor;
    audioDeviceIndex = 0;
    videoSourceName = {};
    videoCodecName = {};
    audioFormat = WaveFormat::defaultDestination().toArea();
}

void AvSettings::applyLoadClamps() {
    if (audioBufferLength < kMinAudioBufferMs) {
        audioBufferLength = kMinAudioBufferMs;
    }
    auto outOfRange = [](std::int32_t side) { return side > kMaxCaptureSide || side < 0; };
    if (outOfRange(captureFormat.width) || outOfRange(captureFormat.height)) {
        captureFormat.width = 320;
        captureFormat.height = 240;
    }
}

AvSettings loadAvSettings(const QString& path) {
    AvSettings settings;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray data = file.read(AvSettings::kSize);
        file.close();
        if (auto decoded = AvSettings::decode(std::as_bytes(std::span(data.data(), data.size())))) {
            settings = *decoded;
            settings.applyLoadClamps();
            return settings;
        }
        // A short file is a torn or foreign one: start again from the defaults.
        QFile::remove(path);
    }
    settings.applyDefaults();
    settings.applyLoadClamps();
    return settings;
}

FileReplaceResult saveAvSettings(const QString& path, const AvSettings& settings) {
    const auto image = settings.encode();
    QByteArray bytes(reinterpret_cast<const char*>(image.data()),
                     static_cast<qsizetype>(image.size()));
    {
        QFile old(path);
        if (old.open(QIODevice::ReadOnly) && old.size() > static_cast<qint64>(AvSettings::kSize)) {
            old.seek(AvSettings::kSize);
            bytes += old.readAll();
        }
    }
    return replaceFile(path, bytes);
}

}  // namespace kova
