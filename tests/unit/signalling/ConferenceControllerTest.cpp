// The conference controller against a control channel fed directly, and
// contacts, waits and media that record what they were asked to do.
#include "signalling/ConferenceController.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <utility>

#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "signalling/CallContacts.h"
#include "signalling/ConferenceMedia.h"
#include "signalling/ControlChannel.h"
#include "signalling/WaitIndicator.h"

namespace kova {
namespace {

// The main window's side, recording what it was asked to do: it hands the
// channel's messages to the controller and stands in for the controls,
// balloons, contact list, wait popups and media.
struct Window : QObject,
                ICallControls,
                IBalloonReporter,
                ICallContacts,
                IWaitIndicators,
                IConferenceMedia {
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Type(MSG_START_CONFERENCE)) {
            conference->startConference();
        } else if (e->type() == QEvent::Type(MSG_PEER_HANGUP)) {
            conference->onPeerHangUp();
        }
        return QObject::event(e);
    }
    void showWaiting() override { controls << "waiting"; }
    void showIdle() override { controls << "idle"; }
    void showRunning() override { controls << "running"; }
    void showEnded() override { controls << "ended"; }
    void showError(const QString& text) override { controls << text; }
    void ShowBalloon(const QString&) override {}
    std::optional<CallContact> selectedContact() const override {
        return CallContact{"Bob", "127.0.9.2", "127.0.9.2"};
    }
    void conferencePeer(const QString& name, const QString& mail, const QString& addr) override {
        peers << name + u' ' + mail + u' ' + addr;
    }
    // `waitsOpen` counts the waits not yet destroyed.
    struct Wait : IWaitIndicator {
        explicit Wait(int& open) : open(++open) {}
        ~Wait() override { --open; }
        void dismiss() override {}
        int& open;
    };
    std::unique_ptr<IWaitIndicator> showWait(int ms) override {
        waits << ms;
        return std::make_unique<Wait>(waitsOpen);
    }
    std::unique_ptr<IWaitIndicator> showTeardown(int ms) override {
        teardowns << ms;
        return std::make_unique<Wait>(waitsOpen);
    }
    bool receivingWindowOpen() const override { return open; }
    void prepare(const PeerMedia&) override {}
    bool showReceivingWindow() override {
        open = true;
        std::exchange(whileShowing, [] {})();
        return true;
    }
    bool startVideoSender() override { return ++senders, true; }
    void startAudioCapture() override {}
    void stopSending() override {}
    void closeReceiving() override { open = false; }
    void endCompressor() override {}

    CConferenceController* conference = nullptr;
    QStringList controls, peers;
    QList<int> waits, teardowns;
    int waitsOpen = 0, senders = 0;
    bool open = false;
    std::function<void()> whileShowing = [] {};
};

using State = CConferenceController::State;

class ConferenceControllerUnit : public ::testing::Test {
protected:
    static constexpr std::uint32_t kBob = 0x7F000902;  // 127.0.9.2

    void SetUp() override {
        window.conference = &conference;
        channel.setOwner(&window, "Me", "me@example.org");
        channel.setShowMessage(
            [](const QString&, const QString&, int type) { return type == 3 ? 1 : 2; });
    }
    void feed(const std::vector<std::byte>& d, std::uint32_t from) {
        channel.processDatagram(d, from, CControlChannel::kPort);
        QCoreApplication::sendPostedEvents(&window);
    }
    // Outgoing calls need a socket to send from; nobody listens at Bob's. The
    // port is fixed, so each test process binds a loopback address of its own.
    void callBob() {
        if (!channel.isOpen()) {
            const int pid = static_cast<int>(QCoreApplication::applicationPid());
            ASSERT_EQ(channel.create(
                          QStringLiteral("127.9.%1.%2").arg(pid / 256 % 256).arg(pid % 256 | 1)),
                      0);
        }
        conference.startCall();
        ASSERT_EQ(conference.state(), State::Waiting);
    }

    CControlChannel channel{nullptr, nullptr};
    Window window;
    CConferenceController conference{channel, window, window, window, window, window};
};

TEST_F(ConferenceControllerUnit, AcceptedCallRunsAndThePeersHangUpEndsIt) {
    callBob();
    EXPECT_EQ(window.waits, QList<int>{CConferenceController::kWaitMs});
    EXPECT_EQ(window.waitsOpen, 1);

    feed(test::callDatagram(CTL_ACCEPT), kBob);
    EXPECT_EQ(conference.state(), State::Running);
    EXPECT_EQ(window.waitsOpen, 0) << "the wait ends with the start";
    EXPECT_EQ(window.senders, 1);
    EXPECT_EQ(window.peers, QStringList{"Bob bob@example.org 127.0.9.2"});

    feed(test::shortCommand(CTL_HANGUP), kBob);
    EXPECT_EQ(conference.state(), State::Idle);
    EXPECT_FALSE(window.open);
    EXPECT_EQ(window.teardowns, QList<int>{CConferenceController::kTeardownMs});
    EXPECT_EQ(window.waitsOpen, 0);
    EXPECT_EQ(window.controls, (QStringList{"waiting", "running", "ended"}));
}

TEST_F(ConferenceControllerUnit, AnAcceptAfterTheTimeOutOrDisconnectStartsNothing) {
    for (const bool timedOut : {true, false}) {
        SCOPED_TRACE(timedOut ? "time-out" : "Disconnect");
        window.controls.clear();
        callBob();
        timedOut ? conference.onCallTimeout() : conference.onCallDeclined();
        EXPECT_EQ(conference.state(), State::Idle);
        EXPECT_EQ(window.waitsOpen, 0);
        EXPECT_EQ(window.controls, (QStringList{"waiting", "idle"}));

        feed(test::callDatagram(CTL_ACCEPT), kBob);
        EXPECT_EQ(conference.state(), State::Idle);
        EXPECT_EQ(window.senders, 0);
        EXPECT_TRUE(window.peers.isEmpty());
    }
}

TEST_F(ConferenceControllerUnit, AStartNeverGoesOnForACallThatEndedInsideIt) {
    // While the receiving window's box is open the caller hangs up and a
    // second caller (127.0.0.3) is accepted.
    window.whileShowing = [&] {
        feed(test::shortCommand(CTL_HANGUP), 0x7F000002);
        feed(test::callDatagram(CTL_CALL, u"Mallory"), 0x7F000003);
    };
    feed(test::callDatagram(CTL_CALL), 0x7F000002);
    EXPECT_EQ(window.senders, 0);
    EXPECT_FALSE(window.open);
    EXPECT_EQ(conference.state(), State::Idle);
    EXPECT_FALSE(channel.inCall()) << "the second call was ended, not left half started";

    // The next call starts as usual.
    feed(test::callDatagram(CTL_CALL), 0x7F000002);
    EXPECT_EQ(conference.state(), State::Running);
    EXPECT_EQ(window.senders, 1);
}

}  // namespace
}  // namespace kova
