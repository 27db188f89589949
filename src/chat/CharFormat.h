#pragma once
// The chat font as stored in avset.cfg: a 92-byte rich-text character format
// record (size, mask, effects, height in twips, offset, colour, character set,
// pitch and family, a 32-unit face name, two bytes of padding).

#include <QTime>
#include <array>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"
#include "common/FixedUtf16.h"

class QTextCharFormat;

namespace kova {

struct CharFormat {
    static constexpr std::size_t kSize = 92;

    // Mask bits: which fields of the record are meant.
    static constexpr std::uint32_t kMaskBold = 0x00000001;
    static constexpr std::uint32_t kMaskItalic = 0x00000002;
    static constexpr std::uint32_t kMaskUnderline = 0x00000004;
    static constexpr std::uint32_t kMaskStrike = 0x00000008;
    static constexpr std::uint32_t kMaskProtected = 0x00000010;
    static constexpr std::uint32_t kMaskCharset = 0x08000000;
    static constexpr std::uint32_t kMaskFace = 0x20000000;
    static constexpr std::uint32_t kMaskColour = 0x40000000;
    static constexpr std::uint32_t kMaskSize = 0x80000000;
    // What a fresh chat font sets: the effects, size, colour, face and charset.
    static constexpr std::uint32_t kDefaultMask = 0xE800001F;

    // Effect bits.
    static constexpr std::uint32_t kBold = 0x00000001;
    static constexpr std::uint32_t kItalic = 0x00000002;
    static constexpr std::uint32_t kUnderline = 0x00000004;
    static constexpr std::uint32_t kStrike = 0x00000008;
    static constexpr std::uint32_t kAutoColour = 0x40000000;

    static constexpr std::int32_t kDefaultTwips = 200;

    std::uint32_t size = kSize;
    std::uint32_t mask = 0;
    std::uint32_t effects = 0;
    std::int32_t heightTwips = 0;
    std::int32_t offset = 0;
    std::uint32_t colour = 0;  // red in the low byte
    std::uint8_t charset = 0;
    std::uint8_t pitchAndFamily = 0;
    FixedUtf16<32> face;
    std::uint16_t padding = 0;

    static CharFormat decode(const std::array<std::byte, kSize>& bytes);
    std::array<std::byte, kSize> encode() const;

    // A stored format of height 0 or less means none: Arial, 10 pt, a colour
    // that differs a little with the minute and second the window opened.
    static CharFormat chatDefault(const QTime& now);
    // The stored format, or the default when it has none.
    static CharFormat effective(const std::array<std::byte, kSize>& stored, const QTime& now);

    QTextCharFormat toTextFormat() const;
    // From a chosen font, keeping this format's colour.
    CharFormat withTextFormat(const QTextCharFormat& format) const;

    bool operator==(const CharFormat&) const = default;
};

constexpr std::uint32_t colourRef(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red & 0xFF) |
           (static_cast<std::uint32_t>(green & 0xFF) << 8) |
           (static_cast<std::uint32_t>(blue & 0xFF) << 16);
}

}  // namespace kova
