// The control channel on its real port: the channel on 127.0.0.1:6321 and a
// test peer on 127.0.0.2:6321, talking over the loopback network. Every check
// waits for an answer on the wire; a later query that must be answered serves as
// the fence proving that an earlier datagram was read and dropped.
#include "signalling/ControlChannel.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "app/DlgMessagePrompts.h"
#include "integration/signalling/LoopbackPeer.h"
#include "unit/signalling/RecordingOwner.h"

namespace kova {
namespace {

using test::DialogWatcher;
using test::LoopbackPeer;
using test::RecordingOwner;

using test::callDatagram;
using test::shortCommand;

CallParameters ourParameters() {
    CallParameters p;
    p.video = CallParameters::initialVideoHeader();
    p.compressorFourCC = fourCC('M', 'J', 'P', 'G');
    p.audioFormat = WaveFormat::defaultDestination().toArea();
    p.audioBufferMs = 200;
    p.frameRate = CallParameters::kFrameRateCapturing;
    return p;
}

class ControlChannelLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        channel.setOwner(&owner, "Alice", "alice@example.org");
        channel.setCallParameters(ourParameters());
        // Short dialog times; the product keeps the dialog's own.
        channel.setPrompts(std::make_unique<DlgMessagePrompts>(nullptr, 300, 30));
        ASSERT_TRUE(test::bindWhenFree([&] { return channel.create("127.0.0.1"); }));
        ASSERT_TRUE(peer.ok);
    }

    // Asks the channel's presence and waits for the answer.
    int query(LoopbackPeer& from) {
        const std::size_t before = from.received.size();
        from.send(shortCommand(CTL_QUERY));
        if (!from.waitFor(before + 1)) {
            return -1;
        }
        return from.command(before);
    }

    void acceptCallFromPeer() {
        watcher.questions = DialogWatcher::Answer::Accept;
        peer.send(callDatagram(CTL_CALL));
        ASSERT_TRUE(peer.waitFor(peer.received.size() + 1));
        ASSERT_EQ(peer.command(peer.received.size() - 1), CTL_ACCEPT);
    }

    RecordingOwner owner;
    QStringList sounds;
    CControlChannel channel{[this](const QString& p) { sounds << p; }, nullptr};
    LoopbackPeer peer{"127.0.0.2", CControlChannel::kPort};
    DialogWatcher watcher;
};

TEST_F(ControlChannelLoopback, OnlyWholeDatagramsOfTheRightSizeCount) {
    peer.send(callDatagram(CTL_CALL, u"Bob", 455));
    peer.send(callDatagram(CTL_QUERY, u"Bob", 457));
    EXPECT_EQ(query(peer), CTL_FREE);
    EXPECT_EQ(peer.received.size(), 1u) << "the 457-byte query must not be answered";
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_TRUE(watcher.seen.empty());

    watcher.questions = DialogWatcher::Answer::Reject;
    peer.send(callDatagram(CTL_CALL));
    ASSERT_TRUE(peer.waitFor(2));
    EXPECT_EQ(peer.command(1), CTL_REJECT);
    EXPECT_EQ(peer.received[1].size(), 2u);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(watcher.seen[0].question);
    EXPECT_EQ(watcher.seen[0].text, "Do you want make video chat with:\nBob\nIP:127.0.0.2?");
    EXPECT_EQ(sounds, QStringList{"Audio/RingIn.wav"});
}

TEST_F(ControlChannelLoopback, OtherSourcePortsAreIgnored) {
    LoopbackPeer wrongPort("127.0.0.2", 6322);
    ASSERT_TRUE(wrongPort.ok);
    wrongPort.send(shortCommand(CTL_QUERY));
    EXPECT_EQ(query(peer), CTL_FREE);
    EXPECT_EQ(query(peer), CTL_FREE);
    EXPECT_EQ(peer.received.size(), 2u) << "the query from port 6322 was answered";
    EXPECT_TRUE(wrongPort.received.empty());
}

TEST_F(ControlChannelLoopback, AcceptedCallCarriesOurParametersAndPresenceFollowsIt) {
    EXPECT_EQ(query(peer), CTL_FREE);
    acceptCallFromPeer();
    const auto& accept = peer.received.back();
    ASSERT_EQ(accept.size(), CallDatagram::kSize);
    const auto d = CallDatagram::decode(accept);
    EXPECT_EQ(d->parameters, ourParameters());
    EXPECT_EQ(fieldText(d->name), "Alice");
    EXPECT_EQ(fieldText(d->email), "alice@example.org");
    EXPECT_EQ(owner.count(MSG_START_CONFERENCE), 1);
    EXPECT_TRUE(channel.inCall());
    EXPECT_EQ(channel.peerAddress(), "127.0.0.2");

    EXPECT_EQ(query(peer), CTL_ENGAGED);
    peer.send(shortCommand(CTL_HANGUP));
    EXPECT_EQ(query(peer), CTL_FREE);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 1);
}

TEST_F(ControlChannelLoopback, BusyIsAnsweredOnceWithoutAPrompt) {
    acceptCallFromPeer();
    const std::size_t dialogs = watcher.seen.size();
    LoopbackPeer third("127.0.0.3", CControlChannel::kPort);
    ASSERT_TRUE(third.ok);
    third.send(callDatagram(CTL_CALL, u"Carol"));
    EXPECT_EQ(query(third), CTL_BUSY);
    ASSERT_TRUE(third.waitFor(2));
    EXPECT_EQ(third.command(1), CTL_ENGAGED) << "exactly one busy answer, then the query's";
    EXPECT_EQ(third.received.size(), 2u);
    EXPECT_EQ(watcher.seen.size(), dialogs);
    EXPECT_EQ(sounds.size(), 1);

    // Our side ends the conference: the peer hears of it, the flag clears.
    channel.hangUp();
    ASSERT_TRUE(peer.waitFor(2));
    EXPECT_EQ(peer.command(1), CTL_HANGUP);
    EXPECT_EQ(query(third), CTL_FREE);
}

TEST_F(ControlChannelLoopback, ACallBeyondThePromptsIsAnsweredBusyAtOnce) {
    // Strangers' prompts stay open; the one past their share hears busy.
    std::vector<std::unique_ptr<LoopbackPeer>> strangers;
    for (int i = 0; i <= ControlProtocol::kMaxStrangerPrompts; ++i) {
        strangers.push_back(std::make_unique<LoopbackPeer>(QString("127.0.0.%1").arg(10 + i),
                                                           CControlChannel::kPort));
        ASSERT_TRUE(strangers.back()->ok);
    }
    channel.setPrompts(std::make_unique<DlgMessagePrompts>(nullptr, 1000, 30));
    for (auto& s : strangers) {
        s->send(callDatagram(CTL_CALL, u"Mallory"));
    }
    auto& last = *strangers.back();
    ASSERT_TRUE(last.waitFor(1));
    EXPECT_EQ(last.command(0), CTL_BUSY);
    EXPECT_TRUE(watcher.waitFor(ControlProtocol::kMaxStrangerPrompts));
    EXPECT_EQ(watcher.seen.size(), std::size_t(ControlProtocol::kMaxStrangerPrompts));
}

TEST_F(ControlChannelLoopback, OnlyAnAnswerToOurChatRequestOpensAWindow) {
    LoopbackPeer third("127.0.0.3", CControlChannel::kPort);
    ASSERT_TRUE(third.ok);
    third.send(callDatagram(CTL_CHAT_ACCEPT, u"Mallory"));
    EXPECT_EQ(query(third), CTL_FREE);
    EXPECT_EQ(owner.count(MSG_OPEN_CHAT), 0);

    ASSERT_TRUE(channel.requestChat("127.0.0.2"));
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.command(0), CTL_CHAT);
    third.send(callDatagram(CTL_CHAT_ACCEPT, u"Mallory"));
    peer.send(callDatagram(CTL_CHAT_ACCEPT, u"Dave"));
    peer.send(callDatagram(CTL_CHAT_ACCEPT, u"Dave"));
    EXPECT_EQ(query(peer), CTL_FREE);
    EXPECT_EQ(query(third), CTL_FREE);
    ASSERT_EQ(owner.count(MSG_OPEN_CHAT), 1);
    EXPECT_EQ(owner.last(MSG_OPEN_CHAT)->first.toString(), "127.0.0.2");
    EXPECT_EQ(owner.last(MSG_OPEN_CHAT)->second.toString(), "Dave");
}

TEST_F(ControlChannelLoopback, UnansweredPromptsReject) {
    peer.send(callDatagram(CTL_CALL));
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.command(0), CTL_REJECT);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 1);

    peer.send(callDatagram(CTL_CHAT));
    ASSERT_TRUE(peer.waitFor(2));
    EXPECT_EQ(peer.command(1), CTL_CHAT_REJECT);
    ASSERT_EQ(peer.received[1].size(), CallDatagram::kSize);
    EXPECT_EQ(fieldText(CallDatagram::decode(peer.received[1])->name), "Alice");
    EXPECT_EQ(owner.count(MSG_OPEN_CHAT), 0);
}

TEST_F(ControlChannelLoopback, ChatWithAnOpenWindowIsAcceptedAtOnce) {
    owner.findChatResult = 1;
    peer.send(callDatagram(CTL_CHAT));
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.command(0), CTL_CHAT_ACCEPT);
    EXPECT_EQ(peer.received[0].size(), CallDatagram::kSize);
    EXPECT_TRUE(watcher.seen.empty());
    EXPECT_TRUE(sounds.isEmpty());
    ASSERT_NE(owner.last(MSG_FIND_CHAT), nullptr);
    EXPECT_EQ(owner.last(MSG_FIND_CHAT)->first.toString(), "127.0.0.2");
}

TEST_F(ControlChannelLoopback, AcceptedChatOpensTheWindow) {
    watcher.questions = DialogWatcher::Answer::Accept;
    peer.send(callDatagram(CTL_CHAT, u"Dave"));
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.command(0), CTL_CHAT_ACCEPT);
    ASSERT_NE(owner.last(MSG_OPEN_CHAT), nullptr);
    EXPECT_EQ(owner.last(MSG_OPEN_CHAT)->first.toString(), "127.0.0.2");
    EXPECT_EQ(owner.last(MSG_OPEN_CHAT)->second.toString(), "Dave");
    EXPECT_EQ(owner.count(MSG_CHAT_CONTACT), 1);
}

TEST_F(ControlChannelLoopback, ReservedCommandsSendNothingAndSucceed) {
    EXPECT_TRUE(channel.Send(123, "127.0.0.2", true));
    EXPECT_TRUE(channel.Send(124, "127.0.0.2", true));
    // The presence poll queries from its own worker thread.
    std::thread([this] { channel.queryPresence("127.0.0.2"); }).join();
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.command(0), CTL_QUERY);
    EXPECT_EQ(peer.received[0].size(), 2u);
    EXPECT_EQ(query(peer), CTL_FREE);
    EXPECT_EQ(peer.received.size(), 2u);
}

TEST_F(ControlChannelLoopback, LongNamesTravelAsSixtyThreeUnits) {
    channel.setIdentity(QString(70, u'Z'), QString());
    ASSERT_TRUE(channel.call("127.0.0.2"));
    ASSERT_TRUE(peer.waitFor(1));
    const auto& call = peer.received[0];
    ASSERT_EQ(call.size(), CallDatagram::kSize);
    EXPECT_EQ(std::to_integer<int>(call[0]), CTL_CALL);
    EXPECT_EQ(fieldText(CallDatagram::decode(call)->name), QString(63, u'Z'));
    EXPECT_EQ(readLe<std::uint16_t>(call, CallDatagram::kNameOffset + 126), 0);
    EXPECT_EQ(fieldText(CallDatagram::decode(call)->email), "alice@example.org");

    // The callee's acceptance starts our conference.
    peer.send(callDatagram(CTL_ACCEPT, u"Bob"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return owner.count(MSG_START_CONFERENCE) == 1; }, 5000));
    EXPECT_TRUE(channel.inCall());
}

TEST_F(ControlChannelLoopback, InformationBoxesNameAddressOrUser) {
    peer.send(callDatagram(CTL_CHAT_REJECT, u"Frank"));
    peer.send(shortCommand(CTL_REJECT));
    peer.send(shortCommand(CTL_BUSY));
    ASSERT_TRUE(watcher.waitFor(3));
    // The notices stack, so the watcher may meet them in any order.
    std::set<std::string> texts;
    for (const auto& seen : watcher.seen) {
        EXPECT_FALSE(seen.question);
        texts.insert(seen.text.toStdString());
    }
    EXPECT_EQ(texts, (std::set<std::string>{"User Frank has rejected your chat call!",
                                            "User 127.0.0.2 has rejected your call!",
                                            "User 127.0.0.2 has busy!"}));
}

TEST_F(ControlChannelLoopback, FailedSendsShowTheSocketError) {
    // Broadcast without the broadcast flag is refused by the socket layer.
    EXPECT_FALSE(channel.Send(CTL_CALL, "255.255.255.255", true));
    ASSERT_TRUE(watcher.waitFor(1));
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].title, "Connection... breaked");
    EXPECT_FALSE(watcher.seen[0].text.isEmpty());
}

}  // namespace
}  // namespace kova
