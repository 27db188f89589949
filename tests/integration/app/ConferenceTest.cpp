// Two whole main windows in one process, one on 127.0.0.1 and one on 127.0.0.2,
// placing real calls to each other over the control port.
#include <gtest/gtest.h>

#include <QTest>
#include <QUuid>

#include "app/ConferenceMedia.h"
#include "app/MainDlg.h"
#include "common/WindowMessages.h"
#include "config/ContactStore.h"
#include "config/ProfileStore.h"
#include "contacts/ContactEntry.h"
#include "contacts/ListContact.h"
#include "signalling/ConferenceController.h"
#include "signalling/ControlChannel.h"
#include "signalling/PresencePoll.h"
#include "support/TempDir.h"
#include "ui/HoverButton.h"
#include "ui/TrayIcon.h"
#include "video/TestPatternSource.h"

namespace kova {
namespace {

using State = CConferenceController::State;

class Side {
public:
    Side(const QString& name, const QString& mail, const QString& bindAddress,
         const QList<QStringList>& contacts = {}) {
        ProfileStore(dir.path("kova.INI")).save({name, mail, {}});
        CContactStore store(dir.path("clset.cfg"));
        for (const QStringList& c : contacts) {
            store.appendEntry(c[0], c[1], c[2]);
        }
        // A stored video source keeps the start-up Devices Properties dialog away.
        AvSettings stored;
        stored.applyDefaults();
        stored.videoSourceName.setText(CTestPatternSource::kName.toStdU16String());
        saveAvSettings(dir.path("avset.cfg"), stored);
        dlg = std::make_unique<CMainDlg>(
            MainDlgSetup{dir.path({}), dir.path("kova.INI"),
                         "kova-conf-" + QUuid::createUuid().toString(QUuid::Id128), bindAddress},
            65507);
        EXPECT_TRUE(dlg->initialise());
        dlg->media().setWarningHook([this](const QString& text) { warnings << text; });
        // Every question is answered by `answer`, every notice noted.
        dlg->controlChannel().setShowMessage([this](const QString& text, const QString&, int type) {
            if (type == 3) {
                ++questions;
                return answer();
            }
            notices << text;
            return 2;
        });
    }

    State state() const { return dlg->conference().state(); }
    QStringList balloons() const { return dlg->tray().balloonLog(); }
    int contactCount() const { return dlg->contactList().topLevelItemCount(); }

    test::TempDir dir;
    std::unique_ptr<CMainDlg> dlg;
    std::function<int()> answer = [] { return 1; };
    int questions = 0;
    QStringList notices;
    QStringList warnings;
};

bool eventually(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 5000);
}

class ConferenceTest : public ::testing::Test {
protected:
    // A knows B as a contact; B knows nobody.
    Side a{"Ann", "ann@example.org", "127.0.0.1", {{"Bob", "bob@example.org", "127.0.0.2"}}};
    Side b{"Bob", "bob@example.org", "127.0.0.2"};
};

TEST_F(ConferenceTest, CallAcceptedRunsOnBothSidesAndThePeersHangUpEndsIt) {
    a.dlg->onCommand(CMainDlg::ID_CONNECT);
    EXPECT_EQ(a.state(), State::Waiting);
    EXPECT_FALSE(a.dlg->button(CMainDlg::ID_CONNECT)->isVisible());
    ASSERT_TRUE(eventually([&] { return a.state() == State::Running; }));
    EXPECT_EQ(b.state(), State::Running);
    EXPECT_EQ(b.questions, 1);
    EXPECT_EQ(a.balloons().back(), "Connected:\nBob\n127.0.0.2");
    EXPECT_EQ(b.balloons().back(), "Connected:\nAnn\n127.0.0.1");
    EXPECT_EQ(b.contactCount(), 0) << "a peer at 127.0.0.1 is never added";
    EXPECT_EQ(a.contactCount(), 1) << "a known peer is not added again";
    EXPECT_TRUE(a.dlg->controlChannel().inCall());
    EXPECT_FALSE(a.dlg->presencePoll().timerActive());
    EXPECT_FALSE(a.dlg->conference().waiting());

    // A second start while running changes nothing.
    const auto before = a.balloons().size();
    sendMessage(a.dlg.get(), MSG_START_CONFERENCE);
    EXPECT_EQ(a.balloons().size(), before);

    sendMessage(b.dlg.get(), MSG_LOCAL_HANGUP);
    EXPECT_EQ(b.state(), State::Idle);
    ASSERT_TRUE(eventually([&] { return a.state() == State::Idle; }));
    EXPECT_EQ(a.balloons().back(), "Disconnect from Bob");
    EXPECT_TRUE(a.dlg->presencePoll().timerActive());
    EXPECT_TRUE(a.dlg->button(CMainDlg::ID_CONNECT)->isEnabled());
    // Had A answered with a hang-up of its own, B would say goodbye to A.
    QTest::qWait(300);
    for (const QString& text : b.balloons()) {
        EXPECT_FALSE(text.startsWith("Disconnect from")) << text.toStdString();
    }
}

TEST_F(ConferenceTest, AnAcceptAfterDisconnectWhileWaitingStartsNothing) {
    b.answer = [this] {
        a.dlg->onCommand(CMainDlg::ID_DISCONNECT);  // A gives up first
        EXPECT_EQ(a.state(), State::Idle);
        EXPECT_TRUE(a.dlg->button(CMainDlg::ID_CONNECT)->isVisible());
        return 1;
    };
    a.dlg->onCommand(CMainDlg::ID_CONNECT);
    ASSERT_TRUE(eventually([&] { return b.questions == 1 && b.state() == State::Idle; }));
    QTest::qWait(300);
    EXPECT_EQ(a.state(), State::Idle);
    EXPECT_FALSE(a.dlg->controlChannel().inCall());
    EXPECT_EQ(a.dlg->media().receivingWindow(), nullptr);
    for (const QString& text : a.balloons()) {
        EXPECT_FALSE(text.startsWith("Connected")) << text.toStdString();
    }
}

TEST_F(ConferenceTest, RejectedCallOnlyInformsAndUnansweredCallTimesOut) {
    a.dlg->conference().setWaitMs(300);
    b.answer = [] { return 2; };
    a.dlg->onCommand(CMainDlg::ID_CONNECT);
    ASSERT_TRUE(eventually([&] { return !a.notices.isEmpty(); }));
    EXPECT_EQ(a.notices.back(), "User 127.0.0.2 has rejected your call!");
    EXPECT_EQ(a.state(), State::Waiting) << "a rejection does not end the wait";
    ASSERT_TRUE(eventually([&] { return a.state() == State::Idle; }));
    EXPECT_EQ(a.balloons().back(), "Timeout...\nContact is not accessible!\nCommunicate later.");
    EXPECT_EQ(b.state(), State::Idle);
}

TEST(PresenceList, SilentContactTurnsOfflineAtTheFirstPollAfterTwentySeconds) {
    CListContact list;
    std::uint32_t now = 1000;
    list.clock = [&now] { return now; };
    list.Insert("Bob", "bob@x", "192.0.2.10");
    list.PresenceReply(true, contactKey("192.0.2.10"));
    EXPECT_TRUE(list.model().at(0).available);
    for (now = 11000; now <= 21000; now += 10000) {
        list.PollStep(0);
        EXPECT_TRUE(list.model().at(0).available) << now;
    }
    now = 31000;
    list.PollStep(0);
    EXPECT_FALSE(list.model().at(0).available);
}

}  // namespace
}  // namespace kova
