#include "transfer/TransferSocket.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include "support/OfferBytes.h"
#include "support/TempDir.h"
#include "unit/transfer/FakeStream.h"

namespace kova {
namespace {

using test::FakeStream;
using test::MessageCounter;
using test::TempDir;

constexpr auto offer = test::offerBytes;

QByteArray randomBytes(qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (auto& c : b) {
        c = char(QRandomGenerator::global()->bounded(256));
    }
    return b;
}

const QByteArray y("y"), next("{"), done("|"), stop("z");

class TransferSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&t, &CTransferSocket::warning,
                         [this](const QString& text) { warnings << text; });
        QObject::connect(&t, &CTransferSocket::saveRequested,
                         [this](const QString& name) { saveRequests << name; });
        QObject::connect(&t, &CTransferSocket::showDialog,
                         [this](bool upload, const QString&, const QString&, qint64 total) {
                             dialogs << QStringLiteral("%1 %2").arg(upload).arg(total);
                         });
    }

    void feed(const QByteArray& bytes) {
        stream.incoming += bytes;
        t.onReadNotification(0);
    }
    void pump() { QCoreApplication::sendPostedEvents(); }

    // A sender for a file of n random bytes; returns the bytes.
    QByteArray startSender(qsizetype n, const QString& name = QStringLiteral("data.bin")) {
        const QByteArray content = randomBytes(n);
        TempDir::write(dir.path(name), content);
        t.setSender(dir.path(name), name);
        t.start();
        return content;
    }
    // A receiver that has read an offer and been told where to save.
    void acceptOffer(std::int32_t size, const QString& savedAs = QStringLiteral("saved.bin")) {
        t.setReceiver();
        feed(offer(size, QStringLiteral("data.bin")));
        ASSERT_EQ(saveRequests.size(), 1);
        t.onSaveAnswer(dir.path(savedAs));
        ASSERT_EQ(stream.takeSent(), size == 0 ? y + done : y);
    }
    bool exists(const QString& name) const { return QFile::exists(dir.path(name)); }

    TempDir dir;
    FakeStream stream;
    MessageCounter thread;
    MessageCounter dialog;
    CTransferSocket t{stream, &thread, &dialog};
    QStringList warnings;
    QStringList saveRequests;
    QStringList dialogs;
};

TEST_F(TransferSocketTest, SenderOpensWithTheOfferHeader) {
    startSender(4097, QStringLiteral("report.pdf"));
    EXPECT_EQ(stream.takeSent(), offer(4097, QStringLiteral("report.pdf")));
    EXPECT_TRUE(saveRequests.isEmpty());
}

TEST_F(TransferSocketTest, SenderKeepsABoundedWindowInFlightAndSendsTheFileExactlyOnce) {
    const QByteArray content = startSender(8 << 20);
    stream.takeSent();
    feed(y);
    QByteArray all = stream.takeSent();
    EXPECT_EQ(all.size(), CTransferSocket::kInitialWindowBytes);
    feed(next);  // one chunk answered while the window was full: it grows by one
    EXPECT_EQ(stream.sent.size(), 2 * qsizetype(kChunkBytes));
    all += stream.takeSent();
    // Far more answers than chunks sent open the window no further than its cap.
    feed(QByteArray(10000, '{'));
    all += stream.sent;
    EXPECT_LE(stream.takeSent().size(), CTransferSocket::kMaxWindowBytes);
    for (int i = 0; i < 10000 && all.size() < content.size(); ++i) {
        feed(next);
        all += stream.takeSent();
    }
    feed(QByteArray(100, '{'));
    EXPECT_TRUE(stream.sent.isEmpty());
    EXPECT_TRUE(all == content);
    feed(done);
    EXPECT_TRUE(t.completed());
}

TEST_F(TransferSocketTest, SenderGoesOnWhenAFullSocketHasRoomAgain) {
    QList<bool> wanted;
    QObject::connect(&t, &CTransferSocket::writeWanted, [&](bool on) { wanted << on; });
    const QByteArray content = startSender(10000);
    stream.takeSent();
    stream.sendError = 10035;
    feed(y);
    EXPECT_TRUE(stream.sent.isEmpty());
    EXPECT_FALSE(t.isClosed());
    stream.sendError = 0;
    t.onWritable();
    EXPECT_TRUE(stream.takeSent() == content);
    EXPECT_EQ(wanted, (QList<bool>{true, false}));
}

TEST_F(TransferSocketTest, SenderOfAnEmptyFileSendsNoChunkAndWaitsForTheWholeFileReply) {
    startSender(0, QStringLiteral("e"));
    stream.takeSent();
    feed(y);
    EXPECT_TRUE(stream.takeSent().isEmpty());
    EXPECT_FALSE(t.isClosed());
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("1 0")});
    feed(done);
    EXPECT_EQ(warnings, QStringList{QStringLiteral("Uploaded e")});
    EXPECT_TRUE(t.completed());
}

TEST_F(TransferSocketTest, SenderReportsAPeerGoneMidFile) {
    startSender(10000);
    feed(y);
    stream.peerClosed = true;
    t.onReadNotification(0);
    EXPECT_TRUE(t.failed());
    EXPECT_EQ(warnings, QStringList{QStringLiteral("File failed to send: error 10054")});
}

TEST_F(TransferSocketTest, SenderReportsTheEndOrTheBreak) {
    startSender(10000);
    feed(y);
    feed(stop);
    EXPECT_EQ(warnings, QStringList{CTransferSocket::kUploadBroken});
    EXPECT_TRUE(t.isClosed());
    pump();
    EXPECT_EQ(thread.stops, 1);
}

TEST_F(TransferSocketTest, SenderAnnouncesTheWholeUpload) {
    startSender(100, QStringLiteral("a.txt"));
    feed(y);
    feed(done);
    EXPECT_EQ(warnings, QStringList{QStringLiteral("Uploaded a.txt")});
    EXPECT_TRUE(t.isClosed());
    pump();
    EXPECT_EQ(dialog.lastProgress, 100);
}

TEST_F(TransferSocketTest, DeclinedOfferEndsWithoutAMessage) {
    startSender(100);
    feed(stop);
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_TRUE(t.isClosed());
}

TEST_F(TransferSocketTest, SenderGivesUpOnAPeerThatClosed) {
    startSender(100);
    stream.takeSent();
    stream.peerClosed = true;
    t.onReadNotification(0);
    EXPECT_EQ(stream.sent, stop);
    EXPECT_TRUE(t.isClosed());
}

TEST_F(TransferSocketTest, FailedChunkSendIsReported) {
    startSender(100);
    stream.sendError = 10054;
    feed(y);
    EXPECT_EQ(warnings, QStringList{QStringLiteral("File failed to send: error 10054")});
    EXPECT_TRUE(t.isClosed());
}

TEST_F(TransferSocketTest, ReceiverAnswersEveryPartialReadUntilTheFileIsWhole) {
    TempDir::write(dir.path(QStringLiteral("saved.bin")), "an older file, replaced when whole");
    acceptOffer(4097);
    const QByteArray content = randomBytes(4097);
    // One chunk in two pieces: two '{'; the last byte completes the file.
    feed(content.left(2000));
    EXPECT_EQ(stream.takeSent(), next);
    EXPECT_TRUE(exists(QStringLiteral("saved.bin.part")));
    feed(content.mid(2000, 2096));
    EXPECT_EQ(stream.takeSent(), next);
    feed(content.mid(4096));
    EXPECT_EQ(stream.takeSent(), done);
    EXPECT_TRUE(t.completed());
    EXPECT_FALSE(stream.notifications);
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("saved.bin"))), content);
    EXPECT_FALSE(exists(QStringLiteral("saved.bin.part")));
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("0 4097")});
    pump();
    EXPECT_EQ(dialog.lastProgress, 4097);
}

TEST_F(TransferSocketTest, ReceiverReadsAllThatHasArrivedAnsweringEachRead) {
    acceptOffer(20000);
    const QByteArray content = randomBytes(20000);
    feed(content.left(3 * 4096 + 10));  // four reads: three chunks and a piece
    EXPECT_EQ(stream.takeSent(), "{{{{");
    feed(content.mid(3 * 4096 + 10));
    EXPECT_EQ(stream.takeSent(), "{|");
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("saved.bin"))), content);
}

TEST_F(TransferSocketTest, ReceiverReadsAnOfferThatArrivesInPieces) {
    t.setReceiver();
    const QByteArray header = offer(5, QStringLiteral("x"));
    feed(header.left(100));
    EXPECT_TRUE(saveRequests.isEmpty());
    feed(header.mid(100));
    EXPECT_EQ(saveRequests, QStringList{QStringLiteral("x")});
    EXPECT_FALSE(stream.notifications);  // nothing read while the user decides
    EXPECT_TRUE(stream.sent.isEmpty());
}

TEST_F(TransferSocketTest, ReceiverNeverWritesMoreThanAnnounced) {
    acceptOffer(10);
    const QByteArray pushed = randomBytes(5000);
    feed(pushed);
    EXPECT_EQ(stream.takeSent(), done);
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("saved.bin"))), pushed.left(10));
    t.onReadNotification(0);  // more notifications read nothing further
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("saved.bin"))).size(), 10);
}

TEST_F(TransferSocketTest, ReceiverRefusesBadOffers) {
    QByteArray negative = offer(0, QStringLiteral("x"));
    negative[7] = char(0x80);  // size < 0
    QByteArray wrongTag = offer(10, QStringLiteral("x"));
    wrongTag[0] = 'q';
    for (const QByteArray& bad : {negative, wrongTag, offer(10, QStringLiteral("x")).left(300)}) {
        FakeStream s;
        CTransferSocket r(s, nullptr, nullptr);
        bool asked = false;
        QObject::connect(&r, &CTransferSocket::saveRequested, [&] { asked = true; });
        r.setReceiver();
        s.incoming = bad;
        r.onReadNotification(0);
        s.peerClosed = true;  // the short one ends here
        r.onReadNotification(0);
        EXPECT_EQ(s.sent, stop);
        EXPECT_TRUE(r.isClosed());
        EXPECT_FALSE(asked);
    }
}

TEST_F(TransferSocketTest, DeclinedOfferAnswersStopAndCreatesNoFile) {
    t.setReceiver();
    feed(offer(10, QStringLiteral("x")));
    t.onSaveAnswer(QString());
    EXPECT_EQ(stream.takeSent(), stop);
    EXPECT_FALSE(t.isClosed());
    stream.peerClosed = true;
    t.onReadNotification(0);
    EXPECT_TRUE(t.isClosed());
}

TEST_F(TransferSocketTest, EmptyFileIsCreatedAndReportedWhole) {
    acceptOffer(0);  // 'y' and at once '|'
    EXPECT_TRUE(exists(QStringLiteral("saved.bin")));
    EXPECT_FALSE(exists(QStringLiteral("saved.bin.part")));
    EXPECT_TRUE(t.completed());
}

TEST_F(TransferSocketTest, BrokenDownloadLeavesNoPartAndTheOldFileAlone) {
    TempDir::write(dir.path(QStringLiteral("saved.bin")), "old");
    acceptOffer(10000);
    feed(randomBytes(4096));
    stream.peerClosed = true;
    t.onReadNotification(0);
    EXPECT_TRUE(t.failed());
    EXPECT_FALSE(exists(QStringLiteral("saved.bin.part")));
    EXPECT_EQ(TempDir::read(dir.path(QStringLiteral("saved.bin"))), "old");
}

TEST_F(TransferSocketTest, CancelSendsExactlyOneStop) {
    acceptOffer(10000);
    feed(randomBytes(4096));
    stream.takeSent();
    t.cancel();
    t.cancel();
    EXPECT_EQ(stream.takeSent(), stop);
    feed(randomBytes(100));  // a chunk already under way
    EXPECT_TRUE(t.isClosed());
    EXPECT_TRUE(stream.sent.isEmpty());
    EXPECT_FALSE(t.completed());
    EXPECT_FALSE(t.failed());  // the user's own choice
}

TEST_F(TransferSocketTest, UnwritableTargetStopsInsteadOfReportingSuccess) {
    t.setReceiver();
    feed(offer(10, QStringLiteral("x")));
    t.onSaveAnswer(dir.path(QStringLiteral("no/such/folder/f")));
    EXPECT_EQ(stream.takeSent(), stop);
    EXPECT_TRUE(t.isClosed());
    EXPECT_FALSE(t.completed());
    EXPECT_TRUE(t.failed());
}

TEST_F(TransferSocketTest, ReplyThatCannotBeSentIsReported) {
    t.setReceiver();
    feed(offer(10, QStringLiteral("x")));
    stream.sendError = 10054;
    t.onSaveAnswer(dir.path(QStringLiteral("f")));
    EXPECT_EQ(warnings, QStringList{QStringLiteral("Server Socket failed to send: 10054")});
    EXPECT_TRUE(t.isClosed());
    EXPECT_FALSE(exists(QStringLiteral("f.part")));
}

TEST_F(TransferSocketTest, DeadNetworkIsAnnouncedAndEndsTheTransfer) {
    int dead = 0;
    QObject::connect(&t, &CTransferSocket::deadNetwork, [&] { ++dead; });
    acceptOffer(100);
    t.onReadNotification(10050);
    EXPECT_EQ(dead, 1);
    EXPECT_TRUE(t.isClosed());

    // Reported by the read rather than with the notification.
    FakeStream s;
    CTransferSocket sender(s, nullptr, nullptr);
    QObject::connect(&sender, &CTransferSocket::deadNetwork, [&] { ++dead; });
    const QString path = dir.path(QStringLiteral("f"));
    TempDir::write(path, "abc");
    sender.setSender(path, QStringLiteral("f"));
    sender.start();
    s.receiveError = 10050;
    sender.onReadNotification(0);
    EXPECT_EQ(dead, 2);
    EXPECT_TRUE(sender.isClosed());
}

}  // namespace
}  // namespace kova
