#include "platform/UdpSocket.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <vector>

#include "platform/SocketErrors.h"

namespace kova {
namespace {

std::vector<std::byte> pattern(std::size_t n) {
    std::vector<std::byte> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::byte>(i * 7 + 3);
    }
    return out;
}

TEST(UdpSocket, LargestDatagramArrivesWhole) {
    UdpSocket a;
    UdpSocket b;
    ASSERT_EQ(a.open(0, "127.0.0.1"), 0);
    ASSERT_EQ(b.open(0, "127.0.0.2"), 0);
    QSignalSpy spy(&b, &UdpSocket::readNotification);
    const auto sent = pattern(UdpSocket::kMaxDatagram);
    ASSERT_EQ(a.sendTo(sent, "127.0.0.2", b.localPort()), 0);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.first().first().toInt(), 0);

    std::vector<std::byte> buffer(UdpSocket::kMaxDatagram);
    const auto r = b.receiveFrom(buffer);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.size, sent.size());
    EXPECT_EQ(buffer, sent);
    EXPECT_EQ(UdpSocket::dottedText(r.sourceIpv4), "127.0.0.1");
    EXPECT_EQ(r.sourcePort, a.localPort());

    // Nothing more waiting.
    EXPECT_EQ(b.receiveFrom(buffer).error, kWsaWouldBlock);
}

TEST(UdpSocket, OversizedDatagramFailsAndIsConsumed) {
    UdpSocket a;
    UdpSocket b;
    ASSERT_EQ(a.open(0, "127.0.0.1"), 0);
    ASSERT_EQ(b.open(0, "127.0.0.1"), 0);
    QSignalSpy spy(&b, &UdpSocket::readNotification);
    ASSERT_EQ(a.sendTo(pattern(457), "127.0.0.1", b.localPort()), 0);
    ASSERT_EQ(a.sendTo(pattern(2), "127.0.0.1", b.localPort()), 0);
    ASSERT_TRUE(spy.wait(5000));

    std::array<std::byte, 456> buffer{};
    const auto big = b.receiveFrom(buffer);
    EXPECT_EQ(big.error, kWsaMsgSize);
    EXPECT_EQ(lastSocketError(), kWsaMsgSize);
    const auto next = b.receiveFrom(buffer);
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.size, 2u);
}

TEST(UdpSocket, FailuresComeBackAsSocketErrors) {
    UdpSocket a;
    const std::array<std::byte, 2> two{};
    EXPECT_EQ(a.sendTo(two, "127.0.0.1", 9), kWsaNotSocket);
    ASSERT_EQ(a.open(0, "127.0.0.1"), 0);
    EXPECT_EQ(a.sendTo(two, QString(), 9), kWsaDestAddrRequired);
    std::vector<std::byte> tooBig(UdpSocket::kMaxDatagram + 1);
    EXPECT_EQ(a.sendTo(tooBig, "127.0.0.1", 9), kWsaMsgSize);
    // Sends never wait for a name service: a name is refused, not looked up.
    EXPECT_EQ(a.sendTo(two, "localhost", 9), kWsaInvalidHost);
    EXPECT_EQ(lastSocketError(), kWsaInvalidHost);

    UdpSocket b;
    EXPECT_EQ(b.open(0, "localhost"), kWsaInvalidHost);
    EXPECT_EQ(b.open(a.localPort(), "127.0.0.1"), kWsaAddrInUse);
    EXPECT_FALSE(b.isOpen());
}

TEST(UdpSocket, DottedAddressesParseLikeTheClassicCall) {
    EXPECT_EQ(UdpSocket::parseDotted("192.168.1.7"), 0xC0A80107u);
    EXPECT_EQ(UdpSocket::parseDotted("127.1"), 0x7F000001u);
    EXPECT_EQ(UdpSocket::parseDotted("0x7f.0.0.2"), 0x7F000002u);
    EXPECT_FALSE(UdpSocket::parseDotted("peer.example"));
    EXPECT_FALSE(UdpSocket::parseDotted("1.2.3.4 x"));
    EXPECT_FALSE(UdpSocket::parseDotted(""));
    EXPECT_FALSE(UdpSocket::parseDotted("256.1.1.1"));
    EXPECT_EQ(UdpSocket::dottedText(0xC0A80107u), "192.168.1.7");
}

}  // namespace
}  // namespace kova
