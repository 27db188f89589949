// The chat channel's receive rules and window list, fed datagrams directly.
#include "chat/ChatChannel.h"

#include <gtest/gtest.h>

#include <memory>

namespace kova {
namespace {

class FakeWindow : public QObject, public IChatWindow {
public:
    void ReceiveMessage(const std::u16string& text) override { messages.push_back(text); }
    void PeerClosed() override { ++closed; }
    void ShowChat() override { ++shown; }
    QObject* chatObject() override { return this; }

    std::vector<std::u16string> messages;
    int closed = 0;
    int shown = 0;
};

std::vector<std::byte> datagram(std::size_t size, char16_t unit = u'a') {
    std::vector<std::byte> d(size);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        d[i] = static_cast<std::byte>(unit & 0xFF);
        d[i + 1] = static_cast<std::byte>(unit >> 8);
    }
    return d;
}

class ChatChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Nothing leaves the process: sends are recorded.
        channel.setTransport([this](ByteSpan d, const QString& address) {
            sent.emplace_back(address, std::vector<std::byte>(d.begin(), d.end()));
            return 0;
        });
    }
    void receive(std::size_t size, const QString& from = "10.0.0.2",
                 std::uint16_t port = chat::kPort) {
        const auto d = datagram(size);
        channel.processDatagram(d, from, port);
    }

    CChatChannel channel{"127.0.0.1"};
    FakeWindow window;
    std::vector<std::pair<QString, std::vector<std::byte>>> sent;
};

TEST_F(ChatChannelTest, SizeAndPortRules) {
    channel.Register(&window, "10.0.0.2");
    receive(3);
    receive(4100);
    receive(10, "10.0.0.2", 6321);
    EXPECT_TRUE(window.messages.empty());
    receive(4);
    receive(chat::kMaxDatagram);
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0], u"aa");
    EXPECT_EQ(window.messages[1].size(), 2048u);
}

TEST_F(ChatChannelTest, OnlyTheWindowOfTheExactSenderAddressGetsIt) {
    FakeWindow other;
    channel.Register(&window, "10.0.0.2");
    channel.Register(&other, "10.0.0.3");
    receive(6, "10.0.0.3");
    receive(6, "10.0.0.20");
    receive(6, "10.0.0.4");
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(other.messages.size(), 1u);
    channel.Unregister("10.0.0.3");
    receive(6, "10.0.0.3");
    EXPECT_EQ(other.messages.size(), 1u) << "dropped once the window has left";

    // Keyed by the address, not its spelling.
    FakeWindow shortForm;
    channel.Register(&shortForm, "10.7");
    receive(6, "10.0.0.7");
    EXPECT_EQ(shortForm.messages.size(), 1u);
}

TEST_F(ChatChannelTest, RegisterReplacesFindShowsAndDeadWindowsAreSkipped) {
    auto first = std::make_unique<FakeWindow>();
    channel.Register(first.get(), "10.0.0.2");
    channel.Register(&window, "10.0.0.2");
    EXPECT_TRUE(channel.FindAndShow("10.0.0.2"));
    EXPECT_EQ(window.shown, 1);
    EXPECT_EQ(first->shown, 0);
    EXPECT_FALSE(channel.FindAndShow("10.0.0.9"));

    channel.PeerClosed("10.0.0.2");
    channel.PeerClosed("10.0.0.9");
    EXPECT_EQ(window.closed, 1);

    auto gone = std::make_unique<FakeWindow>();
    channel.Register(gone.get(), "10.0.0.5");
    gone.reset();
    EXPECT_FALSE(channel.FindAndShow("10.0.0.5"));
    receive(6, "10.0.0.5");  // must not touch the destroyed window
}

TEST_F(ChatChannelTest, SendsThePayloadToTheAddress) {
    const auto payload = chat::encodePayload(u"hello");
    channel.Send(payload, "10.0.0.2");
    channel.Send(payload, "");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].first, "10.0.0.2");
    EXPECT_EQ(sent[0].second, payload);
}

}  // namespace
}  // namespace kova
