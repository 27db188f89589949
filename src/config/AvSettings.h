#pragma once
// The audio/video settings record, kept in the program folder as avset.cfg: a
// fixed 1344-byte little-endian image with no header, shared with peers' copies
// of the program, so every field sits at its fixed offset.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include <QString>

#include "common/ByteIo.h"
#include "common/FixedUtf16.h"
#include "formats/BitmapInfoHeader.h"
#include "platform/FileReplace.h"

namespace kova {

struct RectI32 {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const RectI32&) const = default;
};

struct AvSettings {
    static constexpr std::size_t kSize = 1344;
    static constexpr std::size_t kAudioFormatSize = 146;
    static constexpr std::size_t kCharFormatSize = 92;  // CHARFORMATW
    // Buffers shorter than this starve the play queue.
    static constexpr std::uint16_t kMinAudioBufferMs = 50;
    // Largest capture width/height accepted from a file.
    static constexpr std::int32_t kMaxCaptureSide = 1280;
    static constexpr std::uint32_t kDefaultCompressor = fourCC('I', 'V', '5', '0');

    BitmapInfoHeader captureFormat;                         // 0
    std::uint32_t compressorFourCC = 0;                     // 40
    std::array<std::byte, kAudioFormatSize> audioFormat{};  // 44
    std::int16_t audioDeviceIndex = 0;                      // 190
    std::uint16_t audioBufferLength = 0;                    // 192
    std::uint16_t unused194 = 0;                            // 194
    FixedUtf16<128> videoSourceName;                        // 196
    FixedUtf16<128> videoCodecName;                         // 452
    std::uint32_t backgroundColour = 0;                     // 708
    std::array<std::byte, kCharFormatSize> charFormat{};    // 712
    RectI32 chatPlacement;                                  // 804
    std::uint16_t backgroundMode = 0;                       // 820
    FixedUtf16<260> backgroundImagePath;                    // 822
    std::uint16_t unused1342 = 0;                           // 1342

    static std::optional<AvSettings> decode(ByteSpan bytes);  // needs kSize bytes
    std::array<std::byte, kSize> encode() const;

    // The values a missing or short file starts from; fields the rule does not
    // name keep what they hold.
    void applyDefaults();
    // Rules every load applies, whatever the file held.
    void applyLoadClamps();

    bool operator==(const AvSettings&) const = default;
};

// Loads avset.cfg: a missing file gives the defaults, a short one is deleted and
// gives the defaults, a longer one is read up to kSize bytes.
AvSettings loadAvSettings(const QString& path);

// Writes the record through a temporary file renamed over the old one, so a crash
// or a full disk never leaves a torn file; bytes an existing file had past kSize
// are kept. On failure the old file is untouched and the reason comes back.
FileReplaceResult saveAvSettings(const QString& path, const AvSettings& settings);

}  // namespace kova
