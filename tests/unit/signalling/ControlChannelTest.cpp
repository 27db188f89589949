// The channel's wiring without a network: datagrams are fed to it directly,
// its socket stays closed so every send fails, and the prompts are a fake that
// keeps each question open until the test answers it.
#include "signalling/ControlChannel.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <vector>

#include "common/BalloonReporter.h"
#include "platform/SocketErrors.h"
#include "signalling/ControlPrompts.h"
#include "unit/signalling/RecordingOwner.h"

namespace kova {
namespace {

using test::callDatagram;
using test::RecordingOwner;
using test::shortCommand;

constexpr std::uint32_t kPeer = 0x7F000002;  // 127.0.0.2

struct FakePrompts : IControlPrompts {
    struct Shown {
        QString text, caption;
        std::function<void(bool)> done;
    };
    void ask(const QString& text, const QString&, std::function<void(bool)> done) override {
        questions.push_back({text, {}, std::move(done)});
    }
    void notice(const QString& text, const QString& caption, std::function<void()> c) override {
        notices.push_back({text, caption, [c](bool) { c(); }});
    }
    void showMainWindow() override { ++raised; }

    std::vector<Shown> questions, notices;
    int raised = 0;
};

class ControlChannelUnit : public ::testing::Test, public IBalloonReporter {
protected:
    ControlChannelUnit() : channel([this](const QString& p) { sounds << p; }, this) {
        auto fake = std::make_unique<FakePrompts>();
        prompts = fake.get();
        channel.setPrompts(std::move(fake));
        channel.setOwner(&owner, "Me", "me@example.org");
    }
    void ShowBalloon(const QString& text) override { balloons << text; }

    void feed(const std::vector<std::byte>& d, std::uint32_t from = kPeer,
              std::uint16_t port = CControlChannel::kPort) {
        channel.processDatagram(d, from, port);
    }
    // Answers the last question.
    void answer(bool accepted) {
        ASSERT_FALSE(prompts->questions.empty());
        prompts->questions.back().done(accepted);
    }

    RecordingOwner owner;
    QStringList balloons, sounds;
    FakePrompts* prompts = nullptr;
    CControlChannel channel;
};

TEST_F(ControlChannelUnit, OnlyDatagramsFromTheControlPortReachTheQuestion) {
    feed(shortCommand(CTL_FRAME_ACK), kPeer, 6322);
    feed(callDatagram(CTL_CALL), kPeer, 6322);
    feed(callDatagram(CTL_CALL, u"Bob", 455));
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_TRUE(prompts->questions.empty());
    EXPECT_TRUE(owner.messages.empty());
    EXPECT_TRUE(sounds.empty());

    feed(callDatagram(CTL_CALL));
    ASSERT_EQ(prompts->questions.size(), 1u);
    EXPECT_EQ(sounds, QStringList{"Audio/RingIn.wav"});
    EXPECT_EQ(prompts->questions[0].text, "Do you want make video chat with:\nBob\nIP:127.0.0.2?");
}

TEST_F(ControlChannelUnit, NothingHappensWithoutAnOwner) {
    {
        RecordingOwner gone;
        channel.setOwner(&gone, {}, {});
    }
    feed(callDatagram(CTL_CALL));
    feed(shortCommand(CTL_HANGUP));
    EXPECT_TRUE(prompts->questions.empty());
    EXPECT_TRUE(sounds.empty());
}

TEST_F(ControlChannelUnit, AcceptedCallStartsAndIsRememberedUntilTheHangUpOrADeadNetwork) {
    int acks = 0;
    QObject::connect(&channel, &CControlChannel::frameAcknowledged, [&] { ++acks; });
    auto call = callDatagram(CTL_CALL, u"Bob");
    call[4 + 192] = std::byte{200};  // the caller's audio buffer length
    feed(call);
    // The caller's buffer is reused for the next datagram while the question is open.
    std::fill(call.begin(), call.end(), std::byte{0x33});
    EXPECT_FALSE(channel.inCall());
    answer(true);
    // Sent, not posted: it is there before any posted event is delivered.
    ASSERT_EQ(owner.count(MSG_START_CONFERENCE), 1);
    EXPECT_EQ(prompts->raised, 1);
    EXPECT_TRUE(channel.inCall());
    EXPECT_EQ(channel.peerAddress(), "127.0.0.2");
    EXPECT_EQ(channel.peerName(), "Bob");
    EXPECT_EQ(channel.peerEmail(), "bob@example.org");
    EXPECT_EQ(channel.peerCallParameters().audioBufferMs, 200);
    // The acceptance could not be sent: its error shows, the conference goes on.
    ASSERT_EQ(prompts->notices.size(), 1u);
    EXPECT_EQ(prompts->notices[0].caption, "Connection... breaked");
    feed(shortCommand(CTL_FRAME_ACK));
    EXPECT_EQ(acks, 1);
    EXPECT_TRUE(channel.frameAck());

    // The peer's hang-up is posted.
    feed(shortCommand(CTL_HANGUP));
    EXPECT_FALSE(channel.inCall());
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 1);

    // A dead network ends the next one as a hang-up would.
    feed(callDatagram(CTL_CALL));
    answer(true);
    channel.handleReadNotification(kWsaNetDown);
    EXPECT_FALSE(channel.inCall());
    EXPECT_EQ(balloons, QStringList{"A conference operation encountered a dead network!"});
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_PEER_HANGUP), 2);
}

TEST_F(ControlChannelUnit, DeclinedCallIsPostedAndSendFailuresAreShown) {
    feed(callDatagram(CTL_CALL));
    answer(false);
    // The closed socket cannot send the rejection: the error box says so.
    ASSERT_EQ(prompts->notices.size(), 1u);
    EXPECT_EQ(prompts->notices[0].caption, "Connection... breaked");
    EXPECT_EQ(prompts->notices[0].text, "The descriptor is not a socket.");
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 1);
    EXPECT_FALSE(channel.inCall());

    // The same error stays one box until it closes.
    EXPECT_FALSE(channel.Send(CTL_CALL, "127.0.0.2", true));
    EXPECT_EQ(prompts->notices.size(), 1u);
    prompts->notices[0].done(true);
    EXPECT_FALSE(channel.Send(CTL_CALL, "127.0.0.2", true));
    EXPECT_EQ(prompts->notices.size(), 2u);

    // Unreported failures are silent but still fail; 123 and 124 succeed unsent.
    EXPECT_FALSE(channel.Send(CTL_QUERY, "127.0.0.2", false));
    EXPECT_TRUE(channel.Send(123, "127.0.0.2", true));
    EXPECT_TRUE(channel.Send(124, "127.0.0.2", true));
    EXPECT_FALSE(channel.Send(CTL_CALL, QString(), true));
    EXPECT_EQ(prompts->notices.size(), 2u);
}

TEST_F(ControlChannelUnit, QuestionsStayOpenUntilAnsweredAndOutliveNothing) {
    feed(callDatagram(CTL_CALL));
    answer(false);
    feed(callDatagram(CTL_CALL));
    EXPECT_EQ(prompts->questions.size(), 2u);

    // Without prompts questions are rejected at once.
    channel.setPrompts(nullptr);
    feed(callDatagram(CTL_CALL), 0x7F000004);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.count(MSG_CALL_DECLINED), 2);

    // A question answered after its channel has gone does nothing.
    auto second = std::make_unique<CControlChannel>(nullptr, nullptr);
    auto fake = std::make_unique<FakePrompts>();
    const auto& late = fake->questions;
    second->setPrompts(std::move(fake));
    second->setOwner(&owner, "Me", {});
    second->processDatagram(callDatagram(CTL_CALL), kPeer, CControlChannel::kPort);
    ASSERT_EQ(late.size(), 1u);
    const auto answerLate = late[0].done;
    second.reset();
    answerLate(true);
}

}  // namespace
}  // namespace kova
