// The conference controller against a control channel fed directly and media
// that record what they were asked to do.
#include "signalling/ConferenceController.h"
#include "support/ControlDatagrams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <utility>

#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "config/ContactStore.h"
#include "contacts/ContactBook.h"
#include "contacts/ListContact.h"
#include "signalling/ConferenceMedia.h"
#include "signalling/ControlChannel.h"
#include "support/TempDir.h"

namespace kova {
namespace {

struct FakeMedia : IConferenceMedia {
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
    bool open = false;
    int senders = 0;
    std::function<void()> whileShowing = [] {};
};

struct Quiet : ICallControls, IBalloonReporter {
    void showWaiting() override {}
    void showIdle() override {}
    void showRunning() override {}
    void showEnded() override {}
    void showError(const QString&) override {}
    void ShowBalloon(const QString&) override {}
};

// Stands in for the main window: hands the channel's messages to the controller.
struct Router : QObject {
    CConferenceController* conference = nullptr;
    bool event(QEvent* e) override {
        const int n = static_cast<int>(e->type());
        if (n == MSG_START_CONFERENCE) {
            conference->startConference();
        } else if (n == MSG_PEER_HANGUP) {
            conference->onPeerHangUp();
        }
        return QObject::event(e);
    }
};

TEST(ConferenceControllerUnit, AStartNeverGoesOnForACallThatEndedInsideIt) {
    test::TempDir dir;
    CControlChannel channel(nullptr, nullptr);
    CListContact list;
    CContactStore store(dir.path("clset.cfg"));
    ContactBook book(list, store, nullptr);
    FakeMedia media;
    Quiet quiet;
    Router router;
    CConferenceController conference(channel, list, book, media, quiet, quiet, nullptr);
    router.conference = &conference;
    channel.setOwner(&router, "Me", "me@example.org");
    channel.setShowMessage(
        [](const QString&, const QString&, int type) { return type == 3 ? 1 : 2; });
    const auto feed = [&](const std::vector<std::byte>& d, std::uint32_t from) {
        channel.processDatagram(d, from, CControlChannel::kPort);
        QCoreApplication::sendPostedEvents(&router);
    };

    // While the receiving window's box is open the caller hangs up and a
    // second caller (127.0.0.3) is accepted.
    media.whileShowing = [&] {
        feed(test::shortCommand(CTL_HANGUP), 0x7F000002);
        feed(test::callDatagram(CTL_CALL, u"Mallory"), 0x7F000003);
    };
    feed(test::callDatagram(CTL_CALL), 0x7F000002);
    EXPECT_EQ(media.senders, 0);
    EXPECT_FALSE(media.open);
    EXPECT_EQ(conference.state(), CConferenceController::State::Idle);
    EXPECT_FALSE(channel.inCall()) << "the second call was ended, not left half started";

    // The next call starts as usual.
    feed(test::callDatagram(CTL_CALL), 0x7F000002);
    EXPECT_EQ(conference.state(), CConferenceController::State::Running);
    EXPECT_EQ(media.senders, 1);
}

}  // namespace
}  // namespace kova
