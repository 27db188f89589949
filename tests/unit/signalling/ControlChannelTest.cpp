// The receive path and the senders without a network: datagrams are fed to the
// channel directly; its socket stays closed, so every send fails.
#include "signalling/ControlChannel.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <random>
#include <vector>

#include "common/BalloonReporter.h"
#include "platform/SocketErrors.h"
#include "signalling/DlgMessage.h"
#include "unit/signalling/RecordingOwner.h"

namespace kova {
namespace {

using test::RecordingOwner;

constexpr std::uint32_t kPeer = 0x7F000002;   // 127.0.0.2
constexpr std::uint32_t kOther = 0x7F000003;  // 127.0.0.3

struct Shown {
    QString text;
    QString caption;
    int type = 0;
};

class FakeBalloons : public IBalloonReporter {
public:
    void ShowBalloon(const QString& text) override { texts << text; }
    QStringList texts;
};

using test::callDatagram;
using test::shortCommand;

class ControlChannelUnit : public ::testing::Test {
protected:
    ControlChannelUnit() : channel([this](const QString& p) { sounds << p; }, &balloons) {
        channel.setShowMessage([this](const QString& text, const QString& caption, int type) {
            shown.push_back({text, caption, type});
            if (onShow) {
                return onShow(text, caption, type);
            }
            return type == CDlgMessage::Question ? answer : int(CDlgMessage::Cancel);
        });
        channel.setOwner(&owner, "Me", "me@example.org");
    }

    void feed(const std::vector<std::byte>& d, std::uint32_t from = kPeer,
              std::uint16_t port = CControlChannel::kPort) {
        channel.processDatagram(d, from, port);
    }
    int questions() const {
        int n = 0;
        for (const auto& s : shown) {
            n += s.type == CDlgMessage::Question ? 1 : 0;
        }
        return n;
    }

    RecordingOwner owner;
    FakeBalloons balloons;
    QStringList sounds;
    std::vector<Shown> shown;
    int answer = CDlgMessage::Cancel;
    std::function<int(const QString&, const QString&, int)> onShow;
    CControlChannel channel;
};

TEST_F(ControlChannelUnit, DropsWhatTheProtocolDoesNotAccept) {
    feed(callDatagram(CTL_CALL, u"Bob", 455));
    feed(callDatagram(CTL_CALL, u"Bob", 457));
    feed(callDatagram(CTL_CHAT, u"Bob", 200));
    feed(shortCommand(CTL_FRAME_ACK), kPeer, 6322);
    feed(shortCommand(109));
    feed(shortCommand(127));
    feed({});
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(owner.messages.empty());
    EXPECT_TRUE(sounds.empty());
    EXPECT_FALSE(channel.frameAck());

    feed(callDatagram(CTL_CALL));
    EXPECT_EQ(questions(), 1);
    EXPECT_EQ(sounds, QStringList{"Audio/RingIn.wav"});
    EXPECT_EQ(shown[0].text, "Do you want make video chat with:\nBob\nIP:127.0.0.2?");
}

TEST_F(ControlChannelUnit, NothingHappensWithoutAnOwner) {
    {
        RecordingOwner gone;
        channel.setOwner(&gone, {}, {});
    }
    feed(callDatagram(CTL_CALL));
    feed(shortCommand(CTL_HANGUP));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(sounds.empty());
}

TEST_F(ControlChannelUnit, AcceptedCallIsSentStartsTheConferenceAndIsRemembered) {
    answer = CDlgMessage::Ok;
    auto call = callDatagram(CTL_CALL, u"Bob");
    call[4 + 192] = std::byte{200};  // the caller's audio buffer length
    feed(call);
    // Sent, not posted: it is there before any posted event is delivered.
    ASSERT_EQ(owner.count(MSG_START_CONFERENCE), 1);
    EXPECT_TRUE(channel.inCall());
    EXPECT_EQ(channel.peerAddress(), "127.0.0.2");
    EXPECT_EQ(channel.peerName(), "Bob");
    EXPECT_EQ(channel.peerEmail(), "bob@example.org");
    EXPECT_EQ(channel.peerCallParameters().audioBufferMs, 200);
    EXPECT_TRUE(std::equal(call.begin(), call.end(), channel.storedPeerDatagram().begin()));

    // The peer's hang-up is posted.
    feed(shortCommand(CTL_HANGUP));
    EXPECT_FALSE(channel.inCall());
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 1);
}

TEST_F(ControlChannelUnit, DeclinedCallIsPostedAndSendFailuresAreShown) {
    feed(callDatagram(CTL_CALL));
    // The closed socket cannot send the rejection: the error box says so.
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "Connection... breaked");
    EXPECT_EQ(shown[1].text, "The descriptor is not a socket.");
    EXPECT_EQ(shown[1].type, CDlgMessage::Notice);
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 1);
    EXPECT_FALSE(channel.inCall());

    // Unreported failures are silent but still fail; 123 and 124 succeed unsent.
    shown.clear();
    EXPECT_FALSE(channel.Send(CTL_QUERY, "127.0.0.2", false));
    EXPECT_TRUE(channel.Send(123, "127.0.0.2", true));
    EXPECT_TRUE(channel.Send(124, "127.0.0.2", true));
    EXPECT_FALSE(channel.Send(CTL_CALL, QString(), true));
    EXPECT_TRUE(shown.empty());
}

TEST_F(ControlChannelUnit, PresenceRepliesCarryTheAddressInNetworkOrder) {
    feed(shortCommand(CTL_FREE));
    feed(shortCommand(CTL_ENGAGED), kOther);
    QCoreApplication::sendPostedEvents(&owner);
    ASSERT_EQ(owner.count(MSG_PRESENCE_REPLY), 2);
    EXPECT_EQ(owner.messages[0].first.toInt(), 1);
    // 127.0.0.2 as the bytes 7F 00 00 02 in memory.
    const quint32 key = owner.messages[0].second.value<quint32>();
    const auto* b = reinterpret_cast<const unsigned char*>(&key);
    EXPECT_EQ(b[0], 0x7F);
    EXPECT_EQ(b[3], 0x02);
    EXPECT_EQ(owner.messages[1].first.toInt(), 0);
}

TEST_F(ControlChannelUnit, OnlyTheConferencePeerStepsTheMicAcksFramesOrHangsUp) {
    const auto strays = [&](std::uint32_t from) {
        for (auto c : {CTL_MIC_UP, CTL_FRAME_ACK, CTL_HANGUP}) {
            feed(shortCommand(c), from);
        }
        QCoreApplication::sendPostedEvents(&owner);
        EXPECT_EQ(owner.count(MSG_MIC_STEP) + owner.count(MSG_PEER_HANGUP), 0);
        EXPECT_FALSE(channel.frameAck());
    };
    strays(kPeer);  // no conference yet
    answer = CDlgMessage::Ok;
    feed(callDatagram(CTL_CALL));
    strays(kOther);
    EXPECT_TRUE(channel.inCall());

    feed(shortCommand(CTL_MIC_UP));
    feed(shortCommand(CTL_MIC_DOWN));
    QCoreApplication::sendPostedEvents(&owner);
    ASSERT_EQ(owner.count(MSG_MIC_STEP), 2);
    EXPECT_EQ(owner.messages[owner.messages.size() - 2].first.toInt(), 1);
    EXPECT_EQ(owner.last(MSG_MIC_STEP)->first.toInt(), 0);
    feed(shortCommand(CTL_FRAME_ACK));
    EXPECT_TRUE(channel.frameAck());
    feed(shortCommand(CTL_HANGUP));
    EXPECT_FALSE(channel.inCall());
}

TEST_F(ControlChannelUnit, FloodsOfRequestsCannotStackPromptsNorCrowdOutContacts) {
    const std::uint32_t contact = 0x7F000064;  // 127.0.0.100 on
    channel.setContactCheck([](const QString& a) { return a.section('.', 3).toInt() >= 100; });
    int depth = 0;
    int deepest = 0;
    int next = 10;
    onShow = [&](const QString&, const QString&, int type) {
        if (type != CDlgMessage::Question) {
            return int(CDlgMessage::Cancel);
        }
        deepest = std::max(deepest, ++depth);
        // While this prompt is open: the same sender again, then a new stranger,
        // whose prompt would open on top of this one.
        feed(callDatagram(CTL_CALL), kPeer);
        feed(callDatagram(CTL_CHAT), kPeer);
        const int sender = next++;
        feed(callDatagram(sender % 2 ? CTL_CHAT : CTL_CALL), 0x7F000000u + sender);
        if (depth >= CControlChannel::kMaxStrangerPrompts) {
            // The strangers' share is used up: contacts still ring, up to the cap.
            feed(callDatagram(CTL_CALL), contact + depth);
        }
        --depth;
        return int(CDlgMessage::Cancel);
    };
    feed(callDatagram(CTL_CALL), kPeer);
    EXPECT_EQ(deepest, CControlChannel::kMaxOpenPrompts);
    EXPECT_EQ(questions(), CControlChannel::kMaxOpenPrompts);
    EXPECT_EQ(sounds.size(), CControlChannel::kMaxOpenPrompts);
    EXPECT_EQ(shown[2].text, "Do you want make video chat with:\nBob\nIP:127.0.0.102?");

    // Once its prompt has closed, the same sender asks anew.
    onShow = nullptr;
    feed(callDatagram(CTL_CALL), kPeer);
    EXPECT_EQ(questions(), CControlChannel::kMaxOpenPrompts + 1);
}

TEST_F(ControlChannelUnit, FloodsOfNoticesCannotStackEither) {
    int depth = 0;
    int deepest = 0;
    onShow = [&](const QString&, const QString&, int) {
        deepest = std::max(deepest, ++depth);
        feed(shortCommand(CTL_BUSY));  // the same notice again
        for (std::uint32_t i = 0; i < 8; ++i) {
            feed(shortCommand(CTL_REJECT), 0x0A000000u + i);
        }
        --depth;
        return int(CDlgMessage::Cancel);
    };
    feed(shortCommand(CTL_BUSY));
    EXPECT_EQ(deepest, CControlChannel::kMaxOpenNotices);
    EXPECT_EQ(shown[0].text, "User 127.0.0.2 has busy!");
    EXPECT_EQ(shown[1].text, "User 10.0.0.0 has rejected your call!");

    // Closed notices do not count against later ones.
    onShow = nullptr;
    const auto before = shown.size();
    feed(shortCommand(CTL_BUSY));
    EXPECT_EQ(shown.size(), before + 1);
}

TEST_F(ControlChannelUnit, ChatAcceptanceWithoutARequestOfOursOpensNothing) {
    feed(callDatagram(CTL_CHAT_ACCEPT, u"Dave"));
    EXPECT_EQ(owner.count(MSG_FIND_CHAT), 0);
    EXPECT_EQ(owner.count(MSG_OPEN_CHAT), 0);

    feed(callDatagram(CTL_CHAT_CLOSED));
    ASSERT_NE(owner.last(MSG_CHAT_CLOSED), nullptr);
    EXPECT_EQ(owner.last(MSG_CHAT_CLOSED)->first.toString(), "127.0.0.2");
}

TEST_F(ControlChannelUnit, RequestsDuringAPromptCannotChangeTheAcceptedOne) {
    auto call = callDatagram(CTL_CALL, u"Bob");
    call[4 + 192] = std::byte{200};
    const auto original = call;
    onShow = [&](const QString&, const QString&, int type) {
        if (type != CDlgMessage::Question) {
            return int(CDlgMessage::Cancel);
        }
        // The caller's buffer is reused for the next datagram meanwhile.
        std::fill(call.begin(), call.end(), std::byte{0x33});
        return int(CDlgMessage::Ok);
    };
    feed(call);
    EXPECT_TRUE(std::equal(original.begin(), original.end(), channel.storedPeerDatagram().begin()));
    EXPECT_EQ(channel.peerName(), "Bob");
}

TEST_F(ControlChannelUnit, ChatRejectNamesTheUserAndNeverAnOlderOne) {
    feed(callDatagram(CTL_CHAT_REJECT, u"Erin"));
    feed(shortCommand(CTL_CHAT_REJECT));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "User Erin has rejected your chat call!");
    EXPECT_EQ(shown[1].text, "User  has rejected your chat call!");
}

TEST_F(ControlChannelUnit, OnlyTheCalledAddressAcceptsAndOnlyWhileWaiting) {
    feed(callDatagram(CTL_ACCEPT));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 0);
    EXPECT_FALSE(channel.inCall());

    channel.call("127.0.0.2");  // fails on the closed socket, yet was placed
    EXPECT_TRUE(channel.calling());
    feed(callDatagram(CTL_ACCEPT), kOther);
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 0);
    channel.cancelCall();  // Disconnect while waiting
    feed(callDatagram(CTL_ACCEPT));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 0);

    channel.call("127.0.0.2");
    feed(callDatagram(CTL_ACCEPT));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 1);
    EXPECT_TRUE(channel.inCall());
    EXPECT_EQ(channel.peerAddress(), "127.0.0.2");
    feed(callDatagram(CTL_ACCEPT));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 1);

    channel.hangUp();
    EXPECT_FALSE(channel.inCall());
    EXPECT_EQ(channel.storedPeerDatagram(), (std::array<std::byte, CallDatagram::kSize>{}));
    feed(callDatagram(CTL_ACCEPT));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 1);
}

TEST_F(ControlChannelUnit, AQuestionAnsweredAfterAnotherConferenceStartedStartsNothing) {
    onShow = [&](const QString&, const QString&, int type) {
        if (type == CDlgMessage::Question && channel.peerAddress().isEmpty()) {
            // Meanwhile our own call to 127.0.0.3 is accepted.
            channel.call("127.0.0.3");
            feed(callDatagram(CTL_ACCEPT, u"Carol"), kOther);
        }
        return int(CDlgMessage::Ok);
    };
    feed(callDatagram(CTL_CALL, u"Mallory"));
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 1);
    EXPECT_EQ(channel.peerAddress(), "127.0.0.3");
    EXPECT_EQ(receivedText(channel.storedPeerDatagram(), CallDatagram::kNameOffset), "Carol");
}

TEST_F(ControlChannelUnit, DeadNetworkEndsTheConference) {
    answer = CDlgMessage::Ok;
    feed(callDatagram(CTL_CALL));
    channel.handleReadNotification(kWsaNetDown);
    EXPECT_FALSE(channel.inCall());
    EXPECT_EQ(balloons.texts, QStringList{"A conference operation encountered a dead network!"});
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 1);
}

TEST_F(ControlChannelUnit, TenThousandRandomDatagrams) {
    std::mt19937 rng(6321);
    onShow = [&rng](const QString&, const QString&, int) { return int(rng() % 2 + 1); };
    std::vector<std::byte> d;
    for (int i = 0; i < 10000; ++i) {
        owner.findChatResult = static_cast<int>(rng() % 2);
        d.resize(rng() % 600);
        for (auto& b : d) {
            b = static_cast<std::byte>(rng());
        }
        if (!d.empty() && rng() % 2) {
            d[0] = static_cast<std::byte>(110 + rng() % 17);  // mostly real commands
        }
        const std::uint16_t port = rng() % 8 ? CControlChannel::kPort : std::uint16_t(rng());
        channel.processDatagram(d, static_cast<std::uint32_t>(rng()), port);
        if (i % 500 == 0) {
            channel.handleReadNotification(static_cast<int>(rng() % 2 ? kWsaNetDown : 0));
            QCoreApplication::sendPostedEvents(&owner);
            owner.messages.clear();
        }
    }
    SUCCEED();
}

}  // namespace
}  // namespace kova
