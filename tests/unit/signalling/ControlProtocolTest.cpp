// The control port's rules without a socket: datagrams go into the protocol
// core, the actions it returns are compared with what the peer and the user
// must see.
#include "signalling/ControlProtocol.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "common/WindowMessages.h"
#include "contacts/ContactEntry.h"

namespace kova {

void PrintTo(const ControlAction& a, std::ostream* os) {
    *os << "{kind " << int(a.kind) << " command " << int(a.command) << " report " << a.reportErrors
        << " address " << a.address.toStdString() << " prompt " << a.prompt << " text "
        << a.text.toStdString() << " caption " << a.caption.toStdString() << " message "
        << a.message << " " << a.first.toString().toStdString() << " "
        << a.second.toString().toStdString() << "}";
}

namespace {

using test::callDatagram;
using test::shortCommand;
using Kind = ControlAction::Kind;

constexpr std::uint32_t kPeer = 0x7F000002;   // 127.0.0.2
constexpr std::uint32_t kOther = 0x7F000003;  // 127.0.0.3
const QString kPeerText = QStringLiteral("127.0.0.2");
const QString kOtherText = QStringLiteral("127.0.0.3");

class ControlProtocolTest : public ::testing::Test {
protected:
    ControlActions feed(const std::vector<std::byte>& bytes, std::uint32_t from = kPeer) {
        const auto d = CallDatagram::decodeReceived(bytes);
        EXPECT_TRUE(d.has_value());
        return d ? protocol.receive(*d, from, now) : ControlActions{};
    }
    // The prompt a request opened: its ring and its question.
    int askedPrompt(const ControlActions& actions, const QString& text) {
        EXPECT_EQ(actions.size(), 2u);
        if (actions.size() != 2u) {
            return -1;
        }
        EXPECT_EQ(actions[0], ControlAction::of(Kind::Ring));
        EXPECT_EQ(actions[1].kind, Kind::Ask);
        EXPECT_EQ(actions[1].text, text);
        return actions[1].prompt;
    }
    static int promptOf(const ControlActions& actions) {
        return actions.size() == 2u && actions[1].kind == Kind::Ask ? actions[1].prompt : -1;
    }
    ControlActions sends(std::uint8_t command, const QString& to, bool report) {
        return {ControlAction::send(command, to, report)};
    }

    ControlProtocol protocol;
    qint64 now = 1000;
};

TEST_F(ControlProtocolTest, ACallIsAskedOnceAndAnsweredAsTheUserChose) {
    auto call = callDatagram(CTL_CALL, u"Bob");
    call[4 + 192] = std::byte{200};  // the caller's audio buffer length
    const int first =
        askedPrompt(feed(call), "Do you want make video chat with:\nBob\nIP:127.0.0.2?");
    EXPECT_TRUE(feed(call).empty()) << "the same sender while its question is open";
    EXPECT_TRUE(feed(callDatagram(CTL_CALL, u"Bobby")).empty());

    const ControlActions accepted = protocol.promptAnswered(first, true);
    EXPECT_EQ(accepted, (ControlActions{ControlAction::send(CTL_ACCEPT, kPeerText, true),
                                        ControlAction::of(Kind::ShowOwner),
                                        ControlAction::deliver(MSG_START_CONFERENCE)}));
    EXPECT_TRUE(protocol.promptAnswered(first, false).empty()) << "answered twice";
    EXPECT_TRUE(protocol.inCall());
    EXPECT_EQ(protocol.peerAddress(), kPeerText);
    EXPECT_EQ(protocol.peerName(), "Bob") << "the name asked about, not a later one";
    EXPECT_EQ(protocol.peerDatagram(), *CallDatagram::decode(call));

    // Our hang-up forgets what the peer sent.
    EXPECT_TRUE(protocol.hangUp());
    EXPECT_FALSE(protocol.hangUp());
    EXPECT_EQ(protocol.peerDatagram(), CallDatagram{});

    const int second =
        askedPrompt(feed(call), "Do you want make video chat with:\nBob\nIP:127.0.0.2?");
    EXPECT_EQ(protocol.promptAnswered(second, false),
              (ControlActions{ControlAction::send(CTL_REJECT, kPeerText, true),
                              ControlAction::post(MSG_CALL_DECLINED)}));
    EXPECT_FALSE(protocol.inCall());
    EXPECT_EQ(protocol.openPrompts(), 0);
}

TEST_F(ControlProtocolTest, OnlyTheConferencePeerStepsTheMicAcksFramesOrHangsUp) {
    const auto strays = [&](std::uint32_t from) {
        for (auto c : {CTL_MIC_UP, CTL_FRAME_ACK, CTL_HANGUP}) {
            EXPECT_TRUE(feed(shortCommand(c), from).empty()) << int(c);
        }
    };
    strays(kPeer);  // no conference yet
    protocol.promptAnswered(promptOf(feed(callDatagram(CTL_CALL))), true);
    strays(kOther);
    EXPECT_TRUE(protocol.inCall());

    EXPECT_EQ(feed(shortCommand(CTL_MIC_UP)), ControlActions{ControlAction::post(MSG_MIC_STEP, 1)});
    EXPECT_EQ(feed(shortCommand(CTL_MIC_DOWN)),
              ControlActions{ControlAction::post(MSG_MIC_STEP, 0)});
    EXPECT_EQ(feed(shortCommand(CTL_FRAME_ACK)), ControlActions{ControlAction::of(Kind::FrameAck)});
    EXPECT_EQ(feed(shortCommand(CTL_HANGUP)), ControlActions{ControlAction::post(MSG_PEER_HANGUP)});
    EXPECT_FALSE(protocol.inCall());
}

TEST_F(ControlProtocolTest, OnlyTheCalledAddressAcceptsAndOnlyWhileWaiting) {
    EXPECT_TRUE(feed(callDatagram(CTL_ACCEPT)).empty());
    EXPECT_FALSE(protocol.inCall());

    protocol.call(kPeerText);
    EXPECT_TRUE(protocol.calling());
    EXPECT_TRUE(feed(callDatagram(CTL_ACCEPT), kOther).empty());
    protocol.cancelCall();  // Disconnect while waiting
    // The late acceptance hears one hang-up, a second one nothing.
    EXPECT_EQ(feed(callDatagram(CTL_ACCEPT)), sends(CTL_HANGUP, kPeerText, false));
    EXPECT_TRUE(feed(callDatagram(CTL_ACCEPT)).empty());
    EXPECT_FALSE(protocol.inCall());

    protocol.setPeerName("Bob of the list");
    protocol.call(kPeerText);
    EXPECT_EQ(feed(callDatagram(CTL_ACCEPT, u"Dave")),
              ControlActions{ControlAction::deliver(MSG_START_CONFERENCE)});
    EXPECT_TRUE(protocol.inCall());
    EXPECT_EQ(fieldText(protocol.peerDatagram().name), "Dave");
    EXPECT_EQ(protocol.peerName(), "Bob of the list");
    EXPECT_TRUE(feed(callDatagram(CTL_ACCEPT)).empty()) << "accepted twice";

    // A conference that ended takes no acceptance either.
    protocol.networkDown();
    EXPECT_FALSE(protocol.inCall());
    EXPECT_TRUE(feed(callDatagram(CTL_ACCEPT)).empty());
}

TEST_F(ControlProtocolTest, FloodsOfRequestsCannotStackPromptsNorCrowdOutContacts) {
    protocol.setContactCheck([](const QString& a) { return a.section('.', 3).toInt() >= 100; });
    std::vector<int> open;
    for (std::uint32_t i = 0; i < ControlProtocol::kMaxStrangerPrompts; ++i) {
        open.push_back(promptOf(feed(callDatagram(i % 2 ? CTL_CHAT : CTL_CALL), 0x7F00000Au + i)));
    }
    // Beyond their share strangers hear busy unreported; chats get no answer.
    EXPECT_EQ(feed(callDatagram(CTL_CALL), kOther), sends(CTL_BUSY, kOtherText, false));
    EXPECT_TRUE(feed(callDatagram(CTL_CHAT), kOther).empty());
    EXPECT_EQ(protocol.strangerPrompts(), ControlProtocol::kMaxStrangerPrompts);

    // Contacts still ring, up to the cap.
    for (int i = ControlProtocol::kMaxStrangerPrompts; i < ControlProtocol::kMaxOpenPrompts; ++i) {
        open.push_back(promptOf(feed(callDatagram(CTL_CALL), 0x7F000064u + i)));
    }
    EXPECT_EQ(feed(callDatagram(CTL_CALL), 0x7F0000C8), sends(CTL_BUSY, "127.0.0.200", false));
    EXPECT_EQ(protocol.openPrompts(), ControlProtocol::kMaxOpenPrompts);
    EXPECT_EQ(std::count(open.begin(), open.end(), -1), 0);

    // An answered question frees its place.
    protocol.promptAnswered(open[0], false);
    EXPECT_EQ(protocol.strangerPrompts(), ControlProtocol::kMaxStrangerPrompts - 1);
    askedPrompt(feed(callDatagram(CTL_CALL), kOther),
                "Do you want make video chat with:\nBob\nIP:127.0.0.3?");
}

TEST_F(ControlProtocolTest, NoticesNameAddressOrUserAndCannotStack) {
    EXPECT_EQ(feed(shortCommand(CTL_BUSY)),
              ControlActions{ControlAction::notice("User 127.0.0.2 has busy!")});
    EXPECT_TRUE(feed(shortCommand(CTL_BUSY)).empty()) << "the same notice while it is open";
    EXPECT_EQ(feed(shortCommand(CTL_REJECT)),
              ControlActions{ControlAction::notice("User 127.0.0.2 has rejected your call!")});
    EXPECT_EQ(feed(callDatagram(CTL_CHAT_REJECT, u"Erin")),
              ControlActions{ControlAction::notice("User Erin has rejected your chat call!")});
    // A short datagram never names an older user.
    EXPECT_EQ(feed(shortCommand(CTL_CHAT_REJECT)),
              ControlActions{ControlAction::notice("User  has rejected your chat call!")});
    EXPECT_TRUE(feed(shortCommand(CTL_REJECT), kOther).empty()) << "beyond the cap";
    EXPECT_FALSE(protocol.openNotice("The descriptor is not a socket.", "Connection... breaked"));
    EXPECT_EQ(protocol.openNotices(), ControlProtocol::kMaxOpenNotices);

    protocol.noticeClosed("User 127.0.0.2 has busy!", {});
    EXPECT_TRUE(protocol.openNotice("The descriptor is not a socket.", "Connection... breaked"));
    EXPECT_TRUE(feed(shortCommand(CTL_BUSY)).empty());
    protocol.noticeClosed("The descriptor is not a socket.", "Connection... breaked");
    EXPECT_EQ(feed(shortCommand(CTL_BUSY)).size(), 1u);
}

TEST_F(ControlProtocolTest, BusyPresenceAndAQuestionOvertakenByAnotherConference) {
    EXPECT_EQ(feed(shortCommand(CTL_QUERY)), sends(CTL_FREE, kPeerText, true));
    const int mallory = askedPrompt(feed(callDatagram(CTL_CALL, u"Mallory")),
                                    "Do you want make video chat with:\nMallory\nIP:127.0.0.2?");
    // Meanwhile our own call to 127.0.0.3 is accepted.
    protocol.call(kOtherText);
    feed(callDatagram(CTL_ACCEPT, u"Carol"), kOther);
    EXPECT_EQ(protocol.promptAnswered(mallory, true), sends(CTL_BUSY, kPeerText, false));
    EXPECT_EQ(protocol.peerAddress(), kOtherText);
    EXPECT_EQ(fieldText(protocol.peerDatagram().name), "Carol");

    EXPECT_EQ(feed(shortCommand(CTL_QUERY), kOther), sends(CTL_ENGAGED, kOtherText, true));
    EXPECT_EQ(feed(callDatagram(CTL_CALL)), sends(CTL_BUSY, kPeerText, true));

    // Presence answers carry the address as the contact list keys it: the
    // bytes 7F 00 00 02 in memory.
    const auto free = feed(shortCommand(CTL_FREE));
    const auto engaged = feed(shortCommand(CTL_ENGAGED), kOther);
    ASSERT_EQ(free.size(), 1u);
    EXPECT_EQ(free[0],
              ControlAction::post(MSG_PRESENCE_REPLY, 1, QVariant::fromValue<quint32>(0x0200007F)));
    ASSERT_EQ(engaged.size(), 1u);
    EXPECT_EQ(engaged[0].first.toInt(), 0);
}

TEST_F(ControlProtocolTest, ChatsOpenOnlyForAnswersToOurRequestsOrTheUsersYes) {
    QStringList asked;
    bool windowOpen = false;
    protocol.setFindChat([&](const QString& a) {
        asked << a;
        return windowOpen;
    });
    // Without a request of ours nothing opens, and no window is even looked for.
    EXPECT_TRUE(feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave")).empty());
    EXPECT_TRUE(asked.isEmpty());
    protocol.chatRequested(kPeerText, now);
    EXPECT_EQ(feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave")),
              ControlActions{ControlAction::deliver(MSG_OPEN_CHAT, kPeerText, "Dave")});
    EXPECT_TRUE(feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave")).empty()) << "accepted twice";
    protocol.chatRequested(kPeerText, now);
    now += ControlProtocol::kPendingChatMs + 1;
    EXPECT_TRUE(feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave")).empty()) << "a stale request";
    for (std::uint32_t i = 0; i <= ControlProtocol::kMaxPendingChats; ++i) {
        protocol.chatRequested(keyText(0x0100000A + (i << 24)), now);
    }
    EXPECT_EQ(protocol.pendingChats(), ControlProtocol::kMaxPendingChats);
    EXPECT_TRUE(feed(callDatagram(CTL_CHAT_ACCEPT), 0x0A000001).empty()) << "the oldest went";

    // A request with its window open is accepted at once.
    windowOpen = true;
    EXPECT_EQ(feed(callDatagram(CTL_CHAT)), sends(CTL_CHAT_ACCEPT, kPeerText, true));
    windowOpen = false;
    const int dave = askedPrompt(feed(callDatagram(CTL_CHAT, u"Dave")),
                                 "Do you want make chat with:\nDave\nIP:127.0.0.2?");
    EXPECT_EQ(
        protocol.promptAnswered(dave, true),
        (ControlActions{ControlAction::send(CTL_CHAT_ACCEPT, kPeerText, true),
                        ControlAction::deliver(MSG_CHAT_CONTACT,
                                               QStringList{"Dave", "bob@example.org"}, kPeerText),
                        ControlAction::of(Kind::ShowOwner),
                        ControlAction::deliver(MSG_OPEN_CHAT, kPeerText, "Dave")}));
    const int again = askedPrompt(feed(callDatagram(CTL_CHAT)),
                                  "Do you want make chat with:\nBob\nIP:127.0.0.2?");
    EXPECT_EQ(protocol.promptAnswered(again, false), sends(CTL_CHAT_REJECT, kPeerText, true));
    EXPECT_EQ(feed(shortCommand(CTL_CHAT_CLOSED)),
              ControlActions{ControlAction::deliver(MSG_CHAT_CLOSED, kPeerText)});
}

}  // namespace
}  // namespace kova
