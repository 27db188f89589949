#include "signalling/ControlDatagram.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <vector>

namespace kova {
namespace {

std::uint16_t u16At(ByteSpan b, std::size_t o) {
    return readLe<std::uint16_t>(b, o);
}

CallParameters sampleParameters() {
    CallParameters p;
    p.video = CallParameters::initialVideoHeader();
    p.compressorFourCC = fourCC('I', 'V', '5', '0');
    p.audioFormat = WaveFormat::defaultDestination().toArea();
    p.audioBufferMs = 100;
    p.frameRate = CallParameters::kFrameRateBeforeCapture;
    return p;
}

TEST(ControlDatagram, CallParametersSitAtTheirOffsets) {
    const auto bytes = sampleParameters().encode();
    ASSERT_EQ(bytes.size(), 196u);
    EXPECT_EQ(readLe<std::uint32_t>(bytes, 0), 40u);
    EXPECT_EQ(readLe<std::int32_t>(bytes, 4), 320);
    EXPECT_EQ(readLe<std::int32_t>(bytes, 8), 240);
    EXPECT_EQ(u16At(bytes, 12), 1);
    EXPECT_EQ(u16At(bytes, 14), 24);
    EXPECT_EQ(readLe<std::uint32_t>(bytes, 40), 0x30355649u);  // "IV50"
    EXPECT_EQ(u16At(bytes, 44), WaveFormat::kTagGsm610);
    EXPECT_EQ(u16At(bytes, 44 + 12), 65);   // block alignment
    EXPECT_EQ(u16At(bytes, 44 + 18), 320);  // samples per block
    EXPECT_EQ(u16At(bytes, 192), 100);
    EXPECT_EQ(u16At(bytes, 194), 31);
    EXPECT_EQ(CallParameters::decode(bytes), sampleParameters());
    EXPECT_FALSE(CallParameters::decode(ByteSpan(bytes).first(195)));
}

TEST(ControlDatagram, CallDatagramLayoutAndRoundTrip) {
    CallDatagram d;
    d.command = CTL_CALL;
    d.parameters = sampleParameters();
    d.name.setText(u"Ann");
    d.email.setText(u"ann@example.org");
    const auto bytes = d.encode();
    ASSERT_EQ(bytes.size(), 456u);
    EXPECT_EQ(std::to_integer<int>(bytes[0]), 111);
    EXPECT_EQ(std::to_integer<int>(bytes[1]) | std::to_integer<int>(bytes[2]) |
                  std::to_integer<int>(bytes[3]),
              0);
    EXPECT_EQ(readLe<std::uint32_t>(bytes, 4), 40u);
    EXPECT_EQ(u16At(bytes, 200), u'A');
    EXPECT_EQ(u16At(bytes, 206), 0);
    EXPECT_EQ(u16At(bytes, 328), u'a');
    EXPECT_EQ(fieldText(CallDatagram::decode(bytes)->name), "Ann");
    EXPECT_EQ(fieldText(CallDatagram::decode(bytes)->email), "ann@example.org");

    // Reserved bytes a peer sets survive a decode/encode.
    auto odd = bytes;
    odd[2] = std::byte{0x5A};
    EXPECT_EQ(CallDatagram::decode(odd)->encode(), odd);
    EXPECT_FALSE(CallDatagram::decode(ByteSpan(bytes).first(455)));
}

TEST(ControlDatagram, ReceivedTextsStayInsideTheirField) {
    std::vector<std::byte> bytes(456, std::byte{0});
    bytes[0] = std::byte{CTL_CHAT_REJECT};
    // A name without a NUL runs to the end of its field, not into the e-mail.
    for (std::size_t i = 0; i < 64; ++i) {
        writeLe<std::uint16_t>(bytes, 200 + 2 * i, u'n');
    }
    writeLe<std::uint16_t>(bytes, 328, u'e');
    EXPECT_EQ(fieldText(CallDatagram::decodeReceived(bytes)->name), QString(64, u'n'));

    // Lone surrogates become U+FFFD; a proper pair stays.
    CallDatagram s;
    s.name.units = {0xDC00, 0xD83D, 0xDE00, 0xD800};
    const QString text = fieldText(s.name);
    ASSERT_EQ(text.size(), 4);
    EXPECT_EQ(text[0], QChar(QChar::ReplacementCharacter));
    EXPECT_EQ(text.mid(1, 2), QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(text[3], QChar(QChar::ReplacementCharacter));

    // A short datagram: what did not arrive reads as zero.
    EXPECT_EQ(fieldText(CallDatagram::decodeReceived(ByteSpan(bytes).first(202))->name), "n");
    EXPECT_EQ(fieldText(CallDatagram::decodeReceived(ByteSpan(bytes).first(2))->name), "");
}

TEST(ControlDatagram, ReceiversDropWhatTheProtocolDoesNotAccept) {
    using test::callDatagram;
    const auto received = [](const std::vector<std::byte>& d) {
        return CallDatagram::decodeReceived(d);
    };
    EXPECT_TRUE(received(callDatagram(CTL_CALL)));
    EXPECT_FALSE(received(callDatagram(CTL_CALL, u"Bob", 455)));
    EXPECT_FALSE(received(callDatagram(CTL_CALL, u"Bob", 457)));
    EXPECT_FALSE(received({}));
    EXPECT_FALSE(received(test::shortCommand(109)));
    EXPECT_FALSE(received(test::shortCommand(127)));
    // Short commands and the call datagrams that may come short.
    EXPECT_EQ(received(test::shortCommand(CTL_HANGUP))->command, CTL_HANGUP);
    EXPECT_FALSE(received(test::shortCommand(CTL_CHAT)));
    EXPECT_TRUE(received(test::shortCommand(CTL_CHAT_REJECT)));
}

TEST(ControlDatagram, CommandClasses) {
    EXPECT_FALSE(control::isCommand(109));
    EXPECT_TRUE(control::isCommand(110));
    EXPECT_TRUE(control::isCommand(126));
    EXPECT_FALSE(control::isCommand(127));
    for (int c = 110; c <= 126; ++c) {
        const bool call = c == 111 || c == 113 || (c >= 119 && c <= 122);
        EXPECT_EQ(control::usesCallDatagram(c), call) << c;
        EXPECT_EQ(control::needsCallDatagram(c), c == 111 || c == 113 || c == 119 || c == 121) << c;
        EXPECT_EQ(control::isSilent(c), c == 123 || c == 124) << c;
    }
    const auto s = control::encodeShortCommand(CTL_QUERY);
    EXPECT_EQ(std::to_integer<int>(s[0]), 's');
}

}  // namespace
}  // namespace kova
