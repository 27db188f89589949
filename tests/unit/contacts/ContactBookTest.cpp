#include "contacts/ContactBook.h"

#include <gtest/gtest.h>

#include "config/ContactStore.h"
#include "contacts/ContactDlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include "contacts/ListContact.h"
#include "signalling/DlgMessage.h"
#include "support/Modal.h"
#include "support/TempDir.h"

namespace kova {
namespace {

using test::TempDir;
using test::whenShown;

class ContactBookTest : public ::testing::Test {
protected:
    void fill(int n) {
        for (int i = 0; i < n; ++i) {
            store.appendEntry(QString("C%1").arg(i), QString("c%1@x").arg(i),
                              QString("192.0.2.%1").arg(i));
        }
        book.load();
    }
    TempDir dir;
    CContactStore store{dir.path("clset.cfg")};
    CListContact list;
    ContactBook book{list, store, nullptr};
};

TEST_F(ContactBookTest, LoadShowsTheStoredContactsAndSelectsTheFirst) {
    fill(3);
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.Current()->index, 0);
    EXPECT_EQ(list.Current()->addr, "192.0.2.0");
}

TEST_F(ContactBookTest, PeerLookUpsChangeOnlyTheDisplayUnlessThePeerIsNew) {
    fill(2);
    EXPECT_FALSE(book.lookUpOrAdd("C1", "c1@x", "198.51.100.1"));
    EXPECT_EQ(list.model().at(1).entry.addrText(), "198.51.100.1");
    QString name, mail, addr;
    store.readEntry(1, name, mail, addr);
    EXPECT_EQ(addr, "192.0.2.1") << "the stored address comes back at the next start";

    EXPECT_TRUE(book.lookUpOrAdd("New", "new@x", "203.0.113.1"));
    EXPECT_EQ(store.count(), 3u);
    EXPECT_EQ(list.topLevelItemCount(), 3);
    EXPECT_FALSE(book.lookUpOrAdd("Self", "self@x", "127.0.0.1"));
    EXPECT_EQ(store.count(), 3u);
}

TEST_F(ContactBookTest, PeersPastThe30thShowTheLimitOnceAndAddNothing) {
    fill(30);
    const auto boxes = [] {
        QStringList texts;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<CDlgMessage*>(w); dlg != nullptr && dlg->isVisible()) {
                texts << dlg->findChildren<QLabel*>().back()->text();
            }
        }
        return texts;
    };
    // Back at once with the box open, and no second box for the next peer.
    EXPECT_FALSE(book.lookUpOrAdd("Late", "late@x", "203.0.113.9"));
    EXPECT_FALSE(book.lookUpOrAdd("Later", "later@x", "203.0.113.10"));
    EXPECT_EQ(boxes(), QStringList{"Support no more then 30 contacts in list!"});
    EXPECT_EQ(store.count(), 30u);
    EXPECT_EQ(list.topLevelItemCount(), 30);
    CDlgMessage::closeAll();
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes().isEmpty(); }, 2000));
}

TEST_F(ContactBookTest, AddEditAndRemoveThroughTheirDialogs) {
    whenShown<CContactDlg>([](CContactDlg* dlg) {
        dlg->nameEdit()->setText("Ann");
        dlg->addrEdit()->setText("192.0.2.7");
        dlg->accept();
    });
    book.add();
    ASSERT_EQ(store.count(), 1u);
    list.Select(0);

    whenShown<CContactDlg>([](CContactDlg* dlg) {
        EXPECT_EQ(dlg->nameEdit()->text(), "Ann");
        dlg->mailEdit()->setText("ann@x");
        dlg->accept();
    });
    book.edit();
    QString name, mail, addr;
    store.readEntry(0, name, mail, addr);
    EXPECT_EQ(mail, "ann@x");

    whenShown<CDlgMessage>([](CDlgMessage* dlg) { dlg->done(CDlgMessage::Cancel); });
    book.remove();
    EXPECT_EQ(store.count(), 1u) << "rejected";
    whenShown<CDlgMessage>([](CDlgMessage* dlg) { dlg->done(CDlgMessage::Ok); });
    book.remove();
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(list.topLevelItemCount(), 0);
}

TEST_F(ContactBookTest, ANewContactIsSelectedAndLastSeenTimesOutliveTheRun) {
    fill(2);
    whenShown<CContactDlg>([](CContactDlg* dlg) {
        dlg->nameEdit()->setText("Cy");
        dlg->addrEdit()->setText("192.0.2.9");
        dlg->accept();
    });
    book.add();
    EXPECT_EQ(list.Current()->index, 2);

    constexpr qint64 seen = 1714572202000;
    list.wallClock = [] { return seen; };
    list.PresenceReply(true, contactKey("192.0.2.1"));
    list.wallClock = [] { return seen + 30000; };
    list.PresenceReply(true, contactKey("192.0.2.1"));
    EXPECT_EQ(list.model().at(1).lastSeenMs, seen + 30000);
    CListContact next;
    ContactBook again{next, store, nullptr};
    again.load();
    EXPECT_EQ(next.model().at(1).lastSeenMs, seen) << "written at most once a minute";
    EXPECT_EQ(next.model().at(0).lastSeenMs, 0);
}

TEST(ContactDlg, OkNeedsNameAndAddressAndStaysEnabled) {
    CContactDlg dlg({}, {}, {});
    EXPECT_FALSE(dlg.okButton()->isEnabled());
    dlg.nameEdit()->setText("Ann");
    EXPECT_FALSE(dlg.okButton()->isEnabled());
    dlg.addrEdit()->setText("192.0.2.1");
    EXPECT_TRUE(dlg.okButton()->isEnabled()) << "the e-mail may stay empty";
    dlg.nameEdit()->clear();
    EXPECT_TRUE(dlg.okButton()->isEnabled());
}

TEST(ListContact, ContextMenuOffersNoCallWhileBusy) {
    CListContact list;
    using L = CListContact;
    EXPECT_EQ(list.menuCommands(), (QList<int>{L::ID_START_CONFERENCE, L::ID_START_CHAT, 0,
                                               L::ID_EDIT_CONTACT, L::ID_REMOVE_CONTACT}));
    list.SetBusyMark(true);
    EXPECT_EQ(list.menuCommands(),
              (QList<int>{L::ID_START_CHAT, 0, L::ID_EDIT_CONTACT, L::ID_REMOVE_CONTACT}));
}

TEST(ListContact, HostNamesResolveOffTheUiThreadToTheSendAddress) {
    CListContact list;
    QThread* const ui = QThread::currentThread();
    std::atomic<int> lookUps = 0;
    list.resolve = [&](const QString&, int*) -> std::optional<std::uint32_t> {
        EXPECT_NE(QThread::currentThread(), ui);
        ++lookUps;
        return 0xC6336402u;
    };
    list.Insert("Ann", "a@x", "192.0.2.1");
    list.Insert("Bob", "b@x", "peer.example");
    list.Select(1);
    EXPECT_EQ(list.Current()->sendAddr, "peer.example") << "not waited for";
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Current()->sendAddr == "198.51.100.2"; }, 5000));
    EXPECT_EQ(list.Current()->addr, "peer.example");
    EXPECT_EQ(lookUps, 1) << "dotted addresses are never looked up";
}

}  // namespace
}  // namespace kova
