// Two peers in one process, each with its own listener on TCP 6327: one bound
// to 127.0.0.1, the other to 127.0.0.2, so each sees the other's real address.
#include "transfer/FileListener.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <atomic>
#include <memory>

#include "support/TempDir.h"
#include "transfer/DownloadDlg.h"
#include "ui/HoverButton.h"

namespace kova {
namespace {

using test::TempDir;

constexpr int kWaitMs = 20000;

struct Peer {
    Peer(const QString& own, const QString& other, std::shared_ptr<std::atomic<qint64>> now)
        : listener([this, other](const QString& address) { return chatOpen && address == other; },
                   nullptr) {
        TransferPrompts p;
        p.askSavePath = [this](const QString& name) {
            offered << name;
            return ask ? ask(name) : savePath;
        };
        p.warn = [this](const QString& text) { warnings << text; };
        p.refused = [this](const QString& address) { refused << address; };
        p.openFile = [](const QString&) { return true; };
        listener.setPrompts(p);
        CSockThread::Timing timing;
        timing.clock = [now] { return now->load(); };
        timing.tickMs = 20;
        listener.setTiming(timing);
        QObject::connect(&listener, &CFileListener::transferEnded, [this](CSockThread* t) {
            ++ended;
            completed = completed || t->completedDownload();
        });
        error = listener.create(own);
    }

    CFileListener listener;
    int error = 0;
    bool chatOpen = true;
    QString savePath;
    std::function<QString(const QString&)> ask;
    QStringList offered;
    QStringList warnings;
    QStringList refused;
    int ended = 0;
    bool completed = false;
};

class FileTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        a = std::make_unique<Peer>(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"), now);
        b = std::make_unique<Peer>(QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.1"), now);
        ASSERT_EQ(a->error, 0);
        ASSERT_EQ(b->error, 0);
    }
    void TearDown() override {
        a->listener.stopAndWait();
        b->listener.stopAndWait();
    }

    QString file(const QString& name, qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
        TempDir::write(dir.path(name), bytes);
        return dir.path(name);
    }
    void passTime(qint64 ms) { *now += ms; }

    TempDir dir;
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(0);
    std::unique_ptr<Peer> a;
    std::unique_ptr<Peer> b;
};

TEST_F(FileTransferTest, FiveMegabytesArriveByteIdentical) {
    const QString source = file(QStringLiteral("data.bin"), 5 * 1024 * 1024);
    b->savePath = dir.path(QStringLiteral("received.bin"));
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), source));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_EQ(b->offered, QStringList{QStringLiteral("data.bin")});
    EXPECT_TRUE(b->completed);
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("Uploaded data.bin")});
    EXPECT_TRUE(b->warnings.isEmpty());
    EXPECT_TRUE(TempDir::read(source) == TempDir::read(b->savePath));
}

TEST_F(FileTransferTest, OfferFromAnAddressWithoutChatWindowIsRefused) {
    b->chatOpen = false;
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("x", 100)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b->refused.isEmpty() && a->ended == 1; }, kWaitMs));
    EXPECT_EQ(b->refused, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_TRUE(b->offered.isEmpty());
    EXPECT_EQ(b->ended, 0);  // no transfer was ever started
}

TEST_F(FileTransferTest, EmptyFileCreatesNothingAndBothEndByInactivity) {
    b->savePath = dir.path(QStringLiteral("empty.bin"));
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("empty", 0)));
    // The sender shows its dialog once the offer has been accepted.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto t = a->listener.transfers();
            return !t.isEmpty() && t[0]->dialog()->isVisible();
        },
        kWaitMs));
    QTest::qWait(100);
    EXPECT_EQ(a->listener.transferCount(), 1);
    EXPECT_EQ(b->listener.transferCount(), 1);
    passTime(20001);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_FALSE(QFile::exists(b->savePath));
    EXPECT_FALSE(b->completed);
}

TEST_F(FileTransferTest, InactivityLimitRunsWhileTheUserDecides) {
    b->ask = [&](const QString&) {
        passTime(20001);
        // The question is still open when the receiving transfer gives up.
        EXPECT_TRUE(QTest::qWaitFor([&] { return b->ended == 1; }, kWaitMs));
        return dir.path(QStringLiteral("late.bin"));
    };
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("late", 5000)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    QTest::qWait(50);
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("late.bin"))));
}

TEST_F(FileTransferTest, AbortFromTheReceivingDialogBreaksTheUpload) {
    b->savePath = dir.path(QStringLiteral("aborted.bin"));
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("big", 32 << 20)));
    CDownloadDlg* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto t = b->listener.transfers();
            dialog = t.isEmpty() ? nullptr : t[0]->dialog();
            return dialog != nullptr && dialog->isVisible();
        },
        kWaitMs));
    dialog->abortButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("A File upload is breaked by user...")});
    EXPECT_FALSE(b->completed);
    EXPECT_LT(QFile(b->savePath).size(), 32 << 20);
}

TEST_F(FileTransferTest, ConnectFailureIsReported) {
    a->listener.setPeerPort(1);  // nothing listens there
    a->listener.SendFile(QStringLiteral("127.0.0.2"), file("x", 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !a->warnings.isEmpty(); }, kWaitMs));
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("Connect dosn't get you file")});
    EXPECT_EQ(a->listener.transferCount(), 0);
}

TEST_F(FileTransferTest, QuitStopsRunningTransfers) {
    b->ask = [&](const QString&) {
        a->listener.stopAndWait();
        b->listener.stopAndWait();
        return QString();
    };
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("q", 10)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_EQ(a->listener.transferCount(), 0);
    EXPECT_EQ(b->listener.transferCount(), 0);
}

}  // namespace
}  // namespace kova
