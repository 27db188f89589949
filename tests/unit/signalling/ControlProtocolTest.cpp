// The control port's rules without a socket: datagrams go into the protocol
// core and the actions it returns are compared with what must happen.
#include "signalling/ControlProtocol.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "common/WindowMessages.h"
#include "contacts/ContactEntry.h"

namespace kova {

void PrintTo(const ControlAction& a, std::ostream* os) {
    *os << "{kind " << int(a.kind) << " command " << int(a.command) << " to "
        << a.address.toStdString() << " report " << a.reportErrors << " prompt " << a.prompt << " '"
        << a.text.toStdString() << "' '" << a.caption.toStdString() << "' message " << a.message
        << " " << a.first.toString().toStdString() << "}";
}

namespace {

using test::callDatagram;
using test::shortCommand;
using A = ControlAction;
using Actions = ControlActions;
using Kind = A::Kind;

constexpr std::uint32_t kPeer = 0x7F000002, kOther = 0x7F000003;
const QString kPeerText = "127.0.0.2", kOtherText = "127.0.0.3";
const QString kAskBob = "Do you want make video chat with:\nBob\nIP:127.0.0.2?";

class ControlProtocolTest : public ::testing::Test {
protected:
    Actions feed(const std::vector<std::byte>& bytes, std::uint32_t from = kPeer) {
        const auto d = CallDatagram::decodeReceived(bytes);
        EXPECT_TRUE(d.has_value());
        return d ? protocol.receive(*d, from, now) : Actions{};
    }
    // The request rang and asked text about from; returns its prompt.
    static int asked(const Actions& a, const QString& text, const QString& from = kPeerText) {
        EXPECT_EQ(a, (Actions{A::of(Kind::Ring), A::ask(promptOf(a), text, from)}));
        return promptOf(a);
    }
    static int promptOf(const Actions& a) {
        return a.size() == 2u && a[1].kind == Kind::Ask ? a[1].prompt : -1;
    }
    static Actions sends(std::uint8_t command, const QString& to, bool report) {
        return {A::send(command, to, report)};
    }

    ControlProtocol protocol;
    qint64 now = 1000;
};

TEST_F(ControlProtocolTest, ACallIsAskedOnceAndAnsweredAsTheUserChose) {
    auto call = callDatagram(CTL_CALL, u"Bob");
    call[4 + 192] = std::byte{200};  // the caller's audio buffer length
    const int first = asked(feed(call), kAskBob);
    EXPECT_TRUE(feed(call).empty()) << "the same sender while its question is open";

    EXPECT_EQ(protocol.promptAnswered(first, true),
              (Actions{A::send(CTL_ACCEPT, kPeerText, true), A::of(Kind::ShowOwner),
                       A::deliver(MSG_START_CONFERENCE)}));
    EXPECT_TRUE(protocol.promptAnswered(first, false).empty()) << "answered twice";
    EXPECT_TRUE(protocol.inCall());
    EXPECT_EQ(protocol.peerAddress(), kPeerText);
    EXPECT_EQ(protocol.peerName(), "Bob") << "the name asked about, not a later one";
    EXPECT_EQ(protocol.peerDatagram(), *CallDatagram::decode(call));

    // Our hang-up forgets what the peer sent.
    EXPECT_TRUE(protocol.hangUp());
    EXPECT_FALSE(protocol.hangUp());
    EXPECT_EQ(protocol.peerDatagram(), CallDatagram{});

    EXPECT_EQ(protocol.promptAnswered(asked(feed(call), kAskBob), false),
              (Actions{A::send(CTL_REJECT, kPeerText, true), A::post(MSG_CALL_DECLINED)}));
    EXPECT_FALSE(protocol.inCall());
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

    EXPECT_EQ(feed(shortCommand(CTL_MIC_UP)), Actions{A::post(MSG_MIC_STEP, 1)});
    EXPECT_EQ(feed(shortCommand(CTL_MIC_DOWN)), Actions{A::post(MSG_MIC_STEP, 0)});
    EXPECT_EQ(feed(shortCommand(CTL_FRAME_ACK)), Actions{A::of(Kind::FrameAck)});
    EXPECT_EQ(feed(shortCommand(CTL_HANGUP)), Actions{A::post(MSG_PEER_HANGUP)});
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
    EXPECT_EQ(feed(callDatagram(CTL_ACCEPT, u"Dave")), Actions{A::deliver(MSG_START_CONFERENCE)});
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

    // Contacts still ring, up to the cap.
    for (int i = ControlProtocol::kMaxStrangerPrompts; i < ControlProtocol::kMaxOpenPrompts; ++i) {
        open.push_back(promptOf(feed(callDatagram(CTL_CALL), 0x7F000064u + i)));
    }
    EXPECT_EQ(feed(callDatagram(CTL_CALL), 0x7F0000C8), sends(CTL_BUSY, "127.0.0.200", false));
    EXPECT_EQ(std::count(open.begin(), open.end(), -1), 0);

    // An answered question frees its place.
    protocol.promptAnswered(open[0], false);
    EXPECT_EQ(protocol.strangerPrompts(), ControlProtocol::kMaxStrangerPrompts - 1);
    asked(feed(callDatagram(CTL_CALL), kOther),
          "Do you want make video chat with:\nBob\nIP:127.0.0.3?", kOtherText);
}

TEST_F(ControlProtocolTest, NoticesNameAddressOrUserAndCannotStack) {
    const Actions busy{A::notice("User 127.0.0.2 has busy!")};
    EXPECT_EQ(feed(shortCommand(CTL_BUSY)), busy);
    EXPECT_TRUE(feed(shortCommand(CTL_BUSY)).empty()) << "the same notice while it is open";
    EXPECT_EQ(feed(shortCommand(CTL_REJECT)),
              Actions{A::notice("User 127.0.0.2 has rejected your call!")});
    EXPECT_EQ(feed(callDatagram(CTL_CHAT_REJECT, u"Erin")),
              Actions{A::notice("User Erin has rejected your chat call!")});
    // A short datagram never names an older user.
    EXPECT_EQ(feed(shortCommand(CTL_CHAT_REJECT)),
              Actions{A::notice("User  has rejected your chat call!")});
    EXPECT_TRUE(feed(shortCommand(CTL_REJECT), kOther).empty()) << "beyond the cap";
    EXPECT_FALSE(protocol.openNotice("The descriptor is not a socket.", "Connection... breaked"));

    protocol.noticeClosed("User 127.0.0.2 has busy!", {});
    EXPECT_TRUE(protocol.openNotice("The descriptor is not a socket.", "Connection... breaked"));
    EXPECT_TRUE(feed(shortCommand(CTL_BUSY)).empty());
    protocol.noticeClosed("The descriptor is not a socket.", "Connection... breaked");
    EXPECT_EQ(feed(shortCommand(CTL_BUSY)), busy);
}

TEST_F(ControlProtocolTest, AQuestionOvertakenByAnotherConferenceAndPresenceReplies) {
    const int mallory = asked(feed(callDatagram(CTL_CALL, u"Mallory")),
                              "Do you want make video chat with:\nMallory\nIP:127.0.0.2?");
    // Meanwhile our own call to 127.0.0.3 is accepted.
    protocol.call(kOtherText);
    feed(callDatagram(CTL_ACCEPT, u"Carol"), kOther);
    EXPECT_EQ(protocol.promptAnswered(mallory, true), sends(CTL_BUSY, kPeerText, false));
    EXPECT_EQ(protocol.peerAddress(), kOtherText);
    EXPECT_EQ(fieldText(protocol.peerDatagram().name), "Carol");

    EXPECT_EQ(feed(callDatagram(CTL_CALL)), sends(CTL_BUSY, kPeerText, true));

    // Presence answers carry the address as the contact list keys it: the
    // bytes 7F 00 00 02 in memory.
    const auto reply = [](int free, quint32 key) {
        return Actions{A::post(MSG_PRESENCE_REPLY, free, QVariant::fromValue(key))};
    };
    EXPECT_EQ(feed(shortCommand(CTL_FREE)), reply(1, 0x0200007F));
    EXPECT_EQ(feed(shortCommand(CTL_ENGAGED), kOther), reply(0, 0x0300007F));
}

TEST_F(ControlProtocolTest, ChatsOpenOnlyForAnswersToOurRequestsOrTheUsersYes) {
    int looked = 0;
    protocol.setFindChat([&](const QString&) { return ++looked, false; });
    const auto chatAccept = [&](std::uint32_t from = kPeer) {
        return feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave"), from);
    };
    // Without a request of ours nothing opens, and no window is even looked for.
    EXPECT_TRUE(chatAccept().empty());
    EXPECT_EQ(looked, 0);
    protocol.chatRequested(kPeerText, now);
    EXPECT_EQ(chatAccept(), Actions{A::deliver(MSG_OPEN_CHAT, kPeerText, "Dave")});
    EXPECT_TRUE(chatAccept().empty()) << "accepted twice";
    protocol.chatRequested(kPeerText, now);
    now += ControlProtocol::kPendingChatMs + 1;
    EXPECT_TRUE(chatAccept().empty()) << "a stale request";
    for (std::uint32_t i = 0; i <= ControlProtocol::kMaxPendingChats; ++i) {
        protocol.chatRequested(keyText(0x0100000A + (i << 24)), now);
    }
    EXPECT_TRUE(chatAccept(0x0A000001).empty()) << "the oldest went";

    const int dave = asked(feed(callDatagram(CTL_CHAT, u"Dave")),
                           "Do you want make chat with:\nDave\nIP:127.0.0.2?");
    EXPECT_EQ(
        protocol.promptAnswered(dave, true),
        (Actions{A::send(CTL_CHAT_ACCEPT, kPeerText, true),
                 A::deliver(MSG_CHAT_CONTACT, QStringList{"Dave", "bob@example.org"}, kPeerText),
                 A::of(Kind::ShowOwner), A::deliver(MSG_OPEN_CHAT, kPeerText, "Dave")}));
    EXPECT_EQ(feed(shortCommand(CTL_CHAT_CLOSED)), Actions{A::deliver(MSG_CHAT_CLOSED, kPeerText)});
}

}  // namespace
}  // namespace kova
