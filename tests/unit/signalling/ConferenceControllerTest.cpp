// The conference controller against a control channel fed directly and media
// that record what they were asked to do.
#include "signalling/ConferenceController.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "common/WindowMessages.h"
#include "config/ContactStore.h"
#include "contacts/ContactBook.h"
#include "contacts/ListContact.h"
#include "signalling/ConferenceMedia.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"
#include "support/TempDir.h"
#include "ui/BalloonReporter.h"

namespace kova {
namespace {

using test::callDatagram;
using test::shortCommand;

constexpr std::uint32_t kPeer = 0x7F000002;   // 127.0.0.2
constexpr std::uint32_t kOther = 0x7F000003;  // 127.0.0.3

class FakeMedia : public IConferenceMedia {
public:
    bool receivingWindowOpen() const override { return open; }
    void prepare(const PeerMedia& peer) override { prepared << peer.address; }
    bool showReceivingWindow() override {
        open = true;
        if (whileShowing) {
            auto run = std::move(whileShowing);
            run();
        }
        return true;
    }
    bool startVideoSender() override { return ++senders, true; }
    void startAudioCapture() override {}
    void stopSending() override {}
    void closeReceiving() override { open = false; }
    void endCompressor() override {}

    bool open = false;
    int senders = 0;
    QStringList prepared;
    std::function<void()> whileShowing;
};

class FakeControls : public ICallControls {
public:
    void showWaiting() override {}
    void showIdle() override {}
    void showRunning() override { ++running; }
    void showEnded() override { ++ended; }
    void showError(const QString&) override {}
    int running = 0;
    int ended = 0;
};

class NoBalloons : public IBalloonReporter {
public:
    void ShowBalloon(const QString&) override {}
};

// Stands in for the main window: hands the channel's messages to the controller.
class Router : public QObject {
public:
    CConferenceController* conference = nullptr;

protected:
    bool event(QEvent* e) override {
        switch (static_cast<int>(e->type())) {
            case MSG_START_CONFERENCE:
                conference->startConference();
                return true;
            case MSG_PEER_HANGUP:
                conference->onPeerHangUp();
                return true;
            default:
                return QObject::event(e);
        }
    }
};

class ConferenceControllerUnit : public ::testing::Test {
protected:
    ConferenceControllerUnit()
        : store(dir.path("clset.cfg")),
          book(list, store, nullptr),
          conference(channel, list, book, media, controls, balloons, nullptr) {
        router.conference = &conference;
        channel.setOwner(&router, "Me", "me@example.org");
        channel.setShowMessage([](const QString&, const QString&, int type) {
            return type == CDlgMessage::Question ? int(CDlgMessage::Ok) : int(CDlgMessage::Cancel);
        });
    }
    void feed(const std::vector<std::byte>& d, std::uint32_t from) {
        channel.processDatagram(d, from, CControlChannel::kPort);
        QCoreApplication::sendPostedEvents(&router);
    }

    test::TempDir dir;
    CControlChannel channel{nullptr, nullptr};
    CListContact list;
    CContactStore store;
    ContactBook book;
    FakeMedia media;
    FakeControls controls;
    NoBalloons balloons;
    Router router;
    CConferenceController conference;
};

TEST_F(ConferenceControllerUnit, AStartNeverGoesOnForACallThatEndedInsideIt) {
    // While the receiving window's box is open the caller hangs up and a
    // second caller is accepted.
    media.whileShowing = [&] {
        feed(shortCommand(CTL_HANGUP), kPeer);
        feed(callDatagram(CTL_CALL, u"Mallory"), kOther);
    };
    feed(callDatagram(CTL_CALL), kPeer);
    EXPECT_EQ(media.prepared, QStringList{"127.0.0.2"});
    EXPECT_EQ(media.senders, 0);
    EXPECT_FALSE(media.open);
    EXPECT_EQ(conference.state(), CConferenceController::State::Idle);
    EXPECT_FALSE(channel.inCall()) << "the second call was ended, not left half started";
    EXPECT_EQ(controls.running, 0);

    // The next call starts as usual.
    feed(callDatagram(CTL_CALL), kPeer);
    EXPECT_EQ(conference.state(), CConferenceController::State::Running);
    EXPECT_EQ(media.senders, 1);
    EXPECT_EQ(controls.running, 1);
}

}  // namespace
}  // namespace kova
