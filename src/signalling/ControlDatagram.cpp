#include "signalling/ControlDatagram.h"

#include <cstring>

namespace kova {

namespace control {
std::array<std::byte, kShortSize> encodeShortCommand(std::uint8_t command) {
    return {static_cast<std::byte>(command), std::byte{0}};
}
}  // namespace control

BitmapInfoHeader CallParameters::initialVideoHeader() {
    BitmapInfoHeader h;
    h.size = BitmapInfoHeader::kSize;
    h.width = 320;
    h.height = 240;
    h.planes = 1;
    h.bitCount = 24;
    return h;
}

std::optional<CallParameters> CallParameters::decode(ByteSpan b) {
    if (b.size() < kSize) {
        return std::nullopt;
    }
    CallParameters p;
    p.video = BitmapInfoHeader::read(b, 0);
    p.compressorFourCC = readLe<std::uint32_t>(b, 40);
    p.audioFormat = readArray<WaveFormat::kAreaSize>(b, 44);
    p.unused190 = readLe<std::uint16_t>(b, 190);
    p.audioBufferMs = readLe<std::uint16_t>(b, 192);
    p.frameRate = readLe<std::uint16_t>(b, 194);
    return p;
}

void CallParameters::write(MutableByteSpan b, std::size_t o) const {
    video.write(b, o);
    writeLe(b, o + 40, compressorFourCC);
    writeArray(b, o + 44, audioFormat);
    writeLe(b, o + 190, unused190);
    writeLe(b, o + 192, audioBufferMs);
    writeLe(b, o + 194, frameRate);
}

std::array<std::byte, CallParameters::kSize> CallParameters::encode() const {
    std::array<std::byte, kSize> out{};
    write(out);
    return out;
}

std::optional<CallDatagram> CallDatagram::decode(ByteSpan b) {
    if (b.size() < kSize) {
        return std::nullopt;
    }
    CallDatagram d;
    d.command = std::to_integer<std::uint8_t>(b[0]);
    d.reserved = readArray<3>(b, 1);
    d.parameters = *CallParameters::decode(b.subspan(kParametersOffset, CallParameters::kSize));
    d.name = TextField::read(b, kNameOffset);
    d.email = TextField::read(b, kEmailOffset);
    return d;
}

std::optional<CallDatagram> CallDatagram::decodeReceived(ByteSpan b) {
    if (b.empty() || b.size() > kSize) {
        return std::nullopt;
    }
    const int command = std::to_integer<int>(b[0]);
    if (!control::isCommand(command) || (control::needsCallDatagram(command) && b.size() < kSize)) {
        return std::nullopt;
    }
    std::array<std::byte, kSize> padded{};
    std::memcpy(padded.data(), b.data(), b.size());
    return decode(padded);
}

void CallDatagram::write(MutableByteSpan b) const {
    b[0] = static_cast<std::byte>(command);
    writeArray(b, 1, reserved);
    parameters.write(b, kParametersOffset);
    name.write(b, kNameOffset);
    email.write(b, kEmailOffset);
}

std::array<std::byte, CallDatagram::kSize> CallDatagram::encode() const {
    std::array<std::byte, kSize> out{};
    write(out);
    return out;
}

QString fieldText(const CallDatagram::TextField& field) {
    const std::u16string units = field.text();
    QString out;
    out.reserve(static_cast<qsizetype>(units.size()));
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (QChar::isHighSurrogate(u) && i + 1 < units.size() &&
            QChar::isLowSurrogate(units[i + 1])) {
            out.append(QChar(u));
            out.append(QChar(units[++i]));
        } else if (QChar::isSurrogate(u)) {
            out.append(QChar(QChar::ReplacementCharacter));
        } else {
            out.append(QChar(u));
        }
    }
    return out;
}

}  // namespace kova
