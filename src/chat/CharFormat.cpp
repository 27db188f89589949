#include "chat/CharFormat.h"

#include <QColor>
#include <QFont>
#include <QTextCharFormat>
#include <algorithm>
#include <cmath>

namespace kova {

namespace {
constexpr std::size_t kSizeAt = 0;
constexpr std::size_t kMaskAt = 4;
constexpr std::size_t kEffectsAt = 8;
constexpr std::size_t kHeightAt = 12;
constexpr std::size_t kOffsetAt = 16;
constexpr std::size_t kColourAt = 20;
constexpr std::size_t kCharsetAt = 24;
constexpr std::size_t kPitchAt = 25;
constexpr std::size_t kFaceAt = 26;
constexpr std::size_t kPaddingAt = 90;
static_assert(kFaceAt + FixedUtf16<32>::kBytes == kPaddingAt);
static_assert(kPaddingAt + 2 == CharFormat::kSize);
constexpr int kTwipsPerPoint = 20;
// Sizes a font chooser offers; a stored height outside them is a damaged record.
constexpr int kMinTwips = 20;
constexpr int kMaxTwips = 1638 * kTwipsPerPoint;
}  // namespace

CharFormat CharFormat::decode(const std::array<std::byte, kSize>& bytes) {
    const ByteSpan b(bytes);
    CharFormat f;
    f.size = readLe<std::uint32_t>(b, kSizeAt);
    f.mask = readLe<std::uint32_t>(b, kMaskAt);
    f.effects = readLe<std::uint32_t>(b, kEffectsAt);
    f.heightTwips = readLe<std::int32_t>(b, kHeightAt);
    f.offset = readLe<std::int32_t>(b, kOffsetAt);
    f.colour = readLe<std::uint32_t>(b, kColourAt);
    f.charset = readLe<std::uint8_t>(b, kCharsetAt);
    f.pitchAndFamily = readLe<std::uint8_t>(b, kPitchAt);
    f.face = FixedUtf16<32>::read(b, kFaceAt);
    f.padding = readLe<std::uint16_t>(b, kPaddingAt);
    return f;
}

std::array<std::byte, CharFormat::kSize> CharFormat::encode() const {
    std::array<std::byte, kSize> out{};
    writeLe(out, kSizeAt, size);
    writeLe(out, kMaskAt, mask);
    writeLe(out, kEffectsAt, effects);
    writeLe(out, kHeightAt, heightTwips);
    writeLe(out, kOffsetAt, offset);
    writeLe(out, kColourAt, colour);
    writeLe(out, kCharsetAt, charset);
    writeLe(out, kPitchAt, pitchAndFamily);
    face.write(out, kFaceAt);
    writeLe(out, kPaddingAt, padding);
    return out;
}

CharFormat CharFormat::chatDefault(const QTime& now) {
    CharFormat f;
    f.mask = kDefaultMask;
    f.heightTwips = kDefaultTwips;
    f.face.setText(u"Arial");
    f.colour = colourRef(50, 60 + now.minute(), 80 + now.second());
    return f;
}

CharFormat CharFormat::effective(const std::array<std::byte, kSize>& stored, const QTime& now) {
    const CharFormat f = decode(stored);
    return f.heightTwips > 0 ? f : chatDefault(now);
}

QTextCharFormat CharFormat::toTextFormat() const {
    QTextCharFormat t;
    if ((mask & kMaskFace) != 0 && face.units[0] != u'\0') {
        const std::u16string name = face.text();
        t.setFontFamilies({QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()))});
    }
    if ((mask & kMaskSize) != 0 && heightTwips > 0) {
        const int twips = std::clamp(heightTwips, kMinTwips, kMaxTwips);
        t.setFontPointSize(static_cast<double>(twips) / kTwipsPerPoint);
    }
    if ((mask & kMaskBold) != 0) {
        t.setFontWeight((effects & kBold) != 0 ? QFont::Bold : QFont::Normal);
    }
    if ((mask & kMaskItalic) != 0) {
        t.setFontItalic((effects & kItalic) != 0);
    }
    if ((mask & kMaskUnderline) != 0) {
        t.setFontUnderline((effects & kUnderline) != 0);
    }
    if ((mask & kMaskStrike) != 0) {
        t.setFontStrikeOut((effects & kStrike) != 0);
    }
    if ((mask & kMaskColour) != 0 && (effects & kAutoColour) == 0) {
        t.setForeground(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    }
    return t;
}

CharFormat CharFormat::withTextFormat(const QTextCharFormat& t) const {
    CharFormat f = *this;
    f.size = kSize;
    f.mask |= kDefaultMask;
    const QStringList families = t.fontFamilies().toStringList();
    const QString family = families.isEmpty() ? t.font().family() : families.front();
    f.face.setText(std::u16string_view(reinterpret_cast<const char16_t*>(family.utf16()),
                                       static_cast<std::size_t>(family.size())));
    const double points = t.fontPointSize() > 0 ? t.fontPointSize() : t.font().pointSizeF();
    if (points > 0) {
        f.heightTwips = static_cast<std::int32_t>(std::lround(points * kTwipsPerPoint));
    }
    f.effects &= ~(kBold | kItalic | kUnderline | kStrike);
    f.effects |= (t.fontWeight() >= QFont::Bold ? kBold : 0) | (t.fontItalic() ? kItalic : 0) |
                 (t.fontUnderline() ? kUnderline : 0) | (t.fontStrikeOut() ? kStrike : 0);
    return f;
}

}  // namespace kova
