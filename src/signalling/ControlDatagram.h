#pragma once
// The datagrams of the control port: a 2-byte short command, or a 456-byte call
// datagram carrying the sender's call parameters, name and e-mail. Byte 0 is
// always the command; numbers are little-endian.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"
#include "common/FixedUtf16.h"
#include "formats/BitmapInfoHeader.h"
#include "formats/WaveFormat.h"

namespace kova {

enum ControlCommand : std::uint8_t {
    CTL_BUSY = 110,
    CTL_CALL = 111,
    CTL_HANGUP = 112,
    CTL_ACCEPT = 113,
    CTL_REJECT = 114,
    CTL_QUERY = 115,
    CTL_FREE = 116,
    CTL_ENGAGED = 117,
    CTL_FRAME_ACK = 118,
    CTL_CHAT = 119,
    CTL_CHAT_CLOSED = 120,
    CTL_CHAT_ACCEPT = 121,
    CTL_CHAT_REJECT = 122,
    // 123 and 124 have no meaning: asked to send them, the channel sends nothing.
    CTL_MIC_DOWN = 125,
    CTL_MIC_UP = 126,
};

namespace control {

constexpr std::uint8_t kFirstCommand = 110;
constexpr std::uint8_t kLastCommand = 126;
constexpr std::size_t kShortSize = 2;

constexpr bool isCommand(int byte) {
    return byte >= kFirstCommand && byte <= kLastCommand;
}
// 123 and 124: never put on the wire.
constexpr bool isSilent(int command) {
    return command == 123 || command == 124;
}
// Sent as a full call datagram rather than a short command.
constexpr bool usesCallDatagram(int command) {
    return command == CTL_CALL || command == CTL_ACCEPT ||
           (command >= CTL_CHAT && command <= CTL_CHAT_REJECT);
}
// Ignored by a receiver unless the whole call datagram arrived.
constexpr bool needsCallDatagram(int command) {
    return command == CTL_CALL || command == CTL_ACCEPT || command == CTL_CHAT ||
           command == CTL_CHAT_ACCEPT;
}

// The command byte and one byte of no meaning, sent as zero.
std::array<std::byte, kShortSize> encodeShortCommand(std::uint8_t command);

}  // namespace control

// What a side will send during a conference, so the peer can size its buffers
// and set up its decoder and player.
struct CallParameters {
    static constexpr std::size_t kSize = 196;
    // Before the capture is set up the rate field says 31, afterwards 30.
    static constexpr std::uint16_t kFrameRateBeforeCapture = 31;
    static constexpr std::uint16_t kFrameRateCapturing = 30;

    BitmapInfoHeader video;                                      // 0
    std::uint32_t compressorFourCC = 0;                          // 40
    std::array<std::byte, WaveFormat::kAreaSize> audioFormat{};  // 44
    std::uint16_t unused190 = 0;                                 // 190
    std::uint16_t audioBufferMs = 0;                             // 192
    std::uint16_t frameRate = 0;                                 // 194

    // 40-byte header, 320 x 240, one plane, 24 bits, the rest zero: what is
    // announced until a compressor reports its own output format.
    static BitmapInfoHeader initialVideoHeader();

    // Needs kSize bytes; reads no more.
    static std::optional<CallParameters> decode(ByteSpan bytes);
    void write(MutableByteSpan bytes, std::size_t offset = 0) const;
    std::array<std::byte, kSize> encode() const;

    bool operator==(const CallParameters&) const = default;
};

struct CallDatagram {
    static constexpr std::size_t kSize = 456;
    static constexpr std::size_t kParametersOffset = 4;
    static constexpr std::size_t kNameOffset = 200;
    static constexpr std::size_t kEmailOffset = 328;
    // 64 UTF-16 units: at most 63 and a NUL are written.
    using TextField = FixedUtf16<64>;

    std::uint8_t command = 0;
    std::array<std::byte, 3> reserved{};  // zero when we send
    CallParameters parameters;
    TextField name;
    TextField email;

    // Needs kSize bytes; reads no more.
    static std::optional<CallDatagram> decode(ByteSpan bytes);
    // A datagram as it arrived on the control port: nullopt for what a receiver
    // drops (empty, longer than kSize, no command, or a command that needs the
    // whole datagram but came short). Fields past a short datagram's end read as
    // zero, so it never exposes older data.
    static std::optional<CallDatagram> decodeReceived(ByteSpan bytes);
    void write(MutableByteSpan bytes) const;  // kSize bytes
    std::array<std::byte, kSize> encode() const;

    bool operator==(const CallDatagram&) const = default;
};

// A field's text up to its first NUL (all 64 units when it has none); a unit
// that is half of a surrogate pair without its other half becomes U+FFFD.
QString fieldText(const CallDatagram::TextField& field);

}  // namespace kova
