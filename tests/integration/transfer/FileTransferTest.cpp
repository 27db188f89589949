// Two peers in one process, each with its own listener on TCP 6327: one bound
// to 127.0.0.1, the other to 127.0.0.2, so each sees the other's real address.
#include "transfer/FileListener.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "support/OfferBytes.h"
#include "support/TempDir.h"
#include "transfer/DownloadDlg.h"
#include "ui/HoverButton.h"

namespace kova {
namespace {

using test::TempDir;

constexpr int kWaitMs = 20000;

// A field of /proc/self/status as a number ("Threads", "VmRSS" in kB).
qint64 selfStatus(const char* field) {
    const QByteArray status = TempDir::read(QStringLiteral("/proc/self/status"));
    const qsizetype at = status.indexOf('\n' + QByteArray(field) + ':');
    return at < 0 ? -1
                  : status.mid(at + qstrlen(field) + 2, 20).trimmed().split(' ')[0].toLongLong();
}

// A peer by hand: connects from its own loopback address, sends the opening
// and collects the answers until the end.
struct RawPeer {
    RawPeer(const QString& from, QByteArray opening) {
        QObject::connect(&socket, &TcpSocket::connected, [this, opening](int error) {
            if (error != 0) {
                ended = true;
                return;
            }
            socket.attach(socket.takeDescriptor());  // from here on with reads
            QObject::connect(&socket, &TcpSocket::readNotification, [this] { read(); });
            socket.send(
                ByteSpan(reinterpret_cast<const std::byte*>(opening.data()), opening.size()));
        });
        socket.connectTo(QStringLiteral("127.0.0.2"), CFileListener::kPort, from);
    }
    void read() {
        char buffer[600];
        const StreamIo r =
            socket.receive(MutableByteSpan(reinterpret_cast<std::byte*>(buffer), 600));
        if (r.ok() && r.size > 0) {
            answers.append(buffer, qsizetype(r.size));
        } else if (r.error != 10035) {
            ended = true;
            socket.setReadNotifications(false);
        }
    }

    TcpSocket socket;
    QByteArray answers;
    bool ended = false;
};

// A peer that keeps to the protocol's letter, one step at a time, on blocking
// sockets of its own thread: one chunk per '{' as sender, one answer per read
// as receiver.
namespace strict {

enum class Receiver { Strict, AnswersTooOften, Silent, ClosesMidWindow };

sockaddr_in address(const char* ip, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, ip, &sa.sin_addr);
    return sa;
}

int socketFrom(const char* ip) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{kWaitMs / 1000, 0};  // a test that goes wrong still ends
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const sockaddr_in sa = address(ip, 0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return fd;
}

bool readFull(int fd, char* p, std::size_t n) {
    for (ssize_t r = 0; n > 0; p += r, n -= std::size_t(r)) {
        if ((r = ::recv(fd, p, n, 0)) <= 0) {
            return false;
        }
    }
    return true;
}

// Listens on 127.0.0.3 (its port in *port); the receiving peer's future holds
// every byte that came after the offer, up to the sender's close.
std::future<QByteArray> receiver(Receiver how, std::uint16_t* port,
                                 const std::atomic<bool>* release) {
    const int listening = socketFrom("127.0.0.3");
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ::listen(listening, 1);
    getsockname(listening, reinterpret_cast<sockaddr*>(&sa), &len);
    *port = ntohs(sa.sin_port);
    return std::async(std::launch::async, [=] {
        QByteArray data;
        const int c = ::accept(listening, nullptr, nullptr);
        ::close(listening);
        char header[OfferHeader::kSize];
        if (c < 0 || !readFull(c, header, sizeof header)) {
            return data;
        }
        std::int32_t total;
        std::memcpy(&total, header + 4, 4);
        ::send(c, "y", 1, MSG_NOSIGNAL);
        if (how == Receiver::AnswersTooOften) {
            ::send(c, QByteArray(1000, '{').constData(), 1000, MSG_NOSIGNAL);
        }
        while (how == Receiver::Silent && !release->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Reads of 4096 and 1000 bytes in turn: a chunk read in two earns two.
        char buffer[kChunkBytes];
        for (int i = 0; data.size() < total && how != Receiver::Silent; ++i) {
            const std::size_t n = std::min<std::size_t>(total - data.size(), i % 2 ? 1000 : 4096);
            const ssize_t r = ::recv(c, buffer, n, 0);
            if (r <= 0) {
                break;
            }
            data.append(buffer, r);
            if (how == Receiver::ClosesMidWindow && data.size() >= 100000) {
                break;
            }
            ::send(c, data.size() < total ? "{" : "|", 1, MSG_NOSIGNAL);
        }
        // Anything past the announced size would show here.
        for (ssize_t r; how == Receiver::Strict && (r = ::recv(c, buffer, 4096, 0)) > 0;) {
            data.append(buffer, r);
        }
        ::close(c);
        return data;
    });
}

// Sends content to 127.0.0.2's listener from 127.0.1.7; the future holds the
// answers it read.
std::future<QByteArray> sender(const QByteArray& content, const QString& name) {
    return std::async(std::launch::async, [=] {
        QByteArray answers;
        const int fd = socketFrom("127.0.1.7");
        const sockaddr_in sa = address("127.0.0.2", CFileListener::kPort);
        const QByteArray offer = test::offerBytes(std::int32_t(content.size()), name);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
            ::send(fd, offer.constData(), offer.size(), MSG_NOSIGNAL) != offer.size()) {
            ::close(fd);
            return answers;
        }
        qsizetype sent = 0;
        for (char answer; readFull(fd, &answer, 1);) {
            answers += answer;
            if (answer != 'y' && answer != '{') {
                break;
            }
            const qsizetype n = std::min<qsizetype>(kChunkBytes, content.size() - sent);
            if (n > 0 && ::send(fd, content.constData() + sent, n, MSG_NOSIGNAL) != n) {
                break;
            }
            sent += n;
        }
        ::close(fd);
        return answers;
    });
}

}  // namespace strict

// Waits for a scripted peer while our side's events go on.
bool ready(const std::future<QByteArray>& f) {
    return QTest::qWaitFor(
        [&] { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, kWaitMs);
}

struct Peer {
    Peer(const QString& own, const QString& other, std::shared_ptr<std::atomic<qint64>> now)
        // The hand-made peers' addresses, 127.0.1.x, count as open chats too.
        : listener(
              [this, other](const QString& from) {
                  return chatOpen && (from == other || from.startsWith(QStringLiteral("127.0.1.")));
              },
              nullptr) {
        TransferPrompts p;
        p.askSavePath = [this](const QString& name, TransferPrompts::SavePathDone done) {
            offered << name;
            ask ? ask(name, std::move(done)) : done(savePath);
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
            dialog = t->dialog();
        });
        QObject::connect(&listener, &CFileListener::uploadEnded,
                         [this](const QString&, const QString&, bool whole) { uploads << whole; });
        error = listener.create(own);
    }

    CFileListener listener;
    int error = 0;
    bool chatOpen = true;
    QString savePath;
    // Answers later when set: the question stays open meanwhile.
    std::function<void(const QString&, TransferPrompts::SavePathDone)> ask;
    QStringList offered;
    QStringList warnings;
    QStringList refused;
    int ended = 0;
    bool completed = false;
    QPointer<CDownloadDlg> dialog;  // the last ended transfer's, while it stays
    QList<bool> uploads;
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
    EXPECT_EQ(a->uploads, QList<bool>{true});
    EXPECT_TRUE(b->warnings.isEmpty());
    EXPECT_TRUE(TempDir::read(source) == TempDir::read(b->savePath));
}

TEST_F(FileTransferTest, StrictStopAndWaitPeersGetAndGiveByteIdenticalFiles) {
    // Our windowed sender to a peer that answers every read, some split.
    const QString source = file(QStringLiteral("out.bin"), 3 * 1024 * 1024 + 123);
    std::uint16_t port = 0;
    auto received = strict::receiver(strict::Receiver::Strict, &port, nullptr);
    a->listener.setPeerPort(port);
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.3"), source));
    ASSERT_TRUE(ready(received));
    EXPECT_TRUE(received.get() == TempDir::read(source));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1; }, kWaitMs));
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("Uploaded out.bin")});

    // A peer sending one chunk per '{' to our receiver, which reads in a row.
    const QByteArray content = TempDir::read(file(QStringLiteral("in.bin"), 1024 * 1024 + 5));
    b->savePath = dir.path(QStringLiteral("in-received.bin"));
    auto answers = strict::sender(content, QStringLiteral("in.bin"));
    ASSERT_TRUE(ready(answers));
    EXPECT_TRUE(answers.get().endsWith("{|"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b->ended == 1; }, kWaitMs));
    EXPECT_TRUE(b->completed);
    EXPECT_TRUE(TempDir::read(b->savePath) == content);
}

TEST_F(FileTransferTest, SenderEndsCleanlyWhateverThePeerAnswers) {
    using strict::Receiver;
    const QString source = file(QStringLiteral("s.bin"), 8 * 1024 * 1024);
    int ended = 0;
    for (const Receiver how :
         {Receiver::AnswersTooOften, Receiver::Silent, Receiver::ClosesMidWindow}) {
        SCOPED_TRACE(int(how));
        a->warnings.clear();
        std::atomic<bool> release{false};
        std::uint16_t port = 0;
        auto received = strict::receiver(how, &port, &release);
        a->listener.setPeerPort(port);
        ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.3"), source));
        if (how == Receiver::Silent) {
            // It accepted the offer and then reads nothing: the window fills.
            QTest::qWait(300);
            passTime(CSockThread::defaultTiming().inactivityMs + 1);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == ended + 1; }, kWaitMs));
        ++ended;
        release = true;
        ASSERT_TRUE(ready(received));
        const QByteArray data = received.get();
        EXPECT_TRUE(data == TempDir::read(source).left(data.size()));
        ASSERT_EQ(a->warnings.size(), 1);
        if (how == Receiver::AnswersTooOften) {
            EXPECT_EQ(data.size(), 8 * 1024 * 1024);
            EXPECT_EQ(a->warnings[0], QStringLiteral("Uploaded s.bin"));
        } else {
            EXPECT_TRUE(a->warnings[0].startsWith(QStringLiteral("File failed to send: error ")))
                << a->warnings[0].toStdString();
        }
    }
    EXPECT_EQ(a->uploads, (QList<bool>{true, false, false}));
}

TEST_F(FileTransferTest, OfferFromAnAddressWithoutChatWindowIsRefused) {
    b->chatOpen = false;
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("x", 100)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b->refused.isEmpty() && a->ended == 1; }, kWaitMs));
    EXPECT_EQ(b->refused, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_TRUE(b->offered.isEmpty());
    EXPECT_EQ(b->ended, 0);  // no transfer was ever started
}

TEST_F(FileTransferTest, EmptyFileIsCreatedAndReportedOnBothSides) {
    b->savePath = dir.path(QStringLiteral("empty.bin"));
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("empty", 0)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_TRUE(QFile::exists(b->savePath));
    EXPECT_TRUE(b->completed);
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("Uploaded empty")});
}

TEST_F(FileTransferTest, UserWhoTakesLongToAnswerStillGetsTheFile) {
    TransferPrompts::SavePathDone answer;
    b->ask = [&](const QString&, TransferPrompts::SavePathDone done) { answer = std::move(done); };
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("late", 5000)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(answer); }, kWaitMs));
    passTime(60000);  // past the inactivity limit, within the answer's
    QTest::qWait(200);
    EXPECT_EQ(a->ended + b->ended, 0);
    answer(dir.path(QStringLiteral("late.bin")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_TRUE(b->completed);
}

TEST_F(FileTransferTest, SenderThatGaveUpWaitingIsAFailureOnBothSides) {
    const QString target = dir.path(QStringLiteral("gone.bin"));
    TransferPrompts::SavePathDone answer;
    b->ask = [&](const QString&, TransferPrompts::SavePathDone done) { answer = std::move(done); };
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("gone", 5000)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(answer); }, kWaitMs));
    passTime(CSockThread::defaultTiming().answerMs + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1; }, kWaitMs));
    answer(target);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_EQ(a->warnings, QStringList{QStringLiteral("File failed to send: error 10060")});
    ASSERT_FALSE(b->dialog.isNull());
    EXPECT_EQ(b->dialog->statusText(), CDownloadDlg::kDownloadFailed);
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(FileTransferTest, TwoHundredOffersAtOnceOpenAtMostFourQuestions) {
    constexpr int kOffers = 200;
    const qint64 idleThreads = selfStatus("Threads");
    const qint64 idleRssKb = selfStatus("VmRSS");
    std::vector<std::unique_ptr<RawPeer>> peers;
    const auto settled = [&] {
        return std::count_if(peers.begin(), peers.end(),
                             [](const auto& p) { return !p->answers.isEmpty() || p->ended; });
    };
    qint64 mostThreads = 0, mostOpen = 0;
    // The offers' names are their senders' addresses.
    QList<std::pair<QString, TransferPrompts::SavePathDone>> asking;
    b->ask = [&](const QString& name, TransferPrompts::SavePathDone done) {
        EXPECT_TRUE(std::none_of(asking.begin(), asking.end(), [&](const auto& q) {
            return q.first == name;
        })) << "two questions for one sender";
        asking.append({name, std::move(done)});
        mostOpen = std::max<qint64>(mostOpen, asking.size());
        mostThreads = std::max(mostThreads, selfStatus("Threads"));
    };
    // Two from each of 100 addresses, a few per turn so the backlog refuses none.
    QTimer starter;
    QObject::connect(&starter, &QTimer::timeout, [&] {
        for (int k = 0; k < 2 && peers.size() < kOffers; ++k) {
            const QString from = QStringLiteral("127.0.1.%1").arg(peers.size() / 2 + 1);
            peers.push_back(std::make_unique<RawPeer>(from, test::offerBytes(100, from)));
        }
    });
    starter.start(1);
    // The questions stay open until every other connection has had its answer.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return peers.size() == kOffers && settled() + asking.size() >= kOffers; }, 30000));
    starter.stop();  // else it would refill the list cleared below
    for (const auto& [name, done] : std::exchange(asking, {})) {
        done(QString());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled() == kOffers; }, 30000));
    EXPECT_EQ(mostOpen, CFileListener::kMaxOpenOffers);
    EXPECT_LE(mostThreads, idleThreads + CFileListener::kMaxOpenOffers);
    for (const auto& p : peers) {
        EXPECT_EQ(p->answers, "z");
    }
    peers.clear();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return b->listener.transferCount() == 0 && selfStatus("Threads") <= idleThreads; },
        30000));
#if defined(__SANITIZE_THREAD__)  // its shadow memory grows with every thread it saw
    static_cast<void>(idleRssKb);
#else
    EXPECT_LT(selfStatus("VmRSS"), idleRssKb + 16 * 1024);
#endif
}

TEST_F(FileTransferTest, SilentConnectionsHoldFewPlacesAndOnlyBriefly) {
    std::vector<std::unique_ptr<RawPeer>> peers;
    // The second from .1 shares its address; the one from .5 finds no place.
    for (const char* from :
         {"127.0.1.1", "127.0.1.1", "127.0.1.2", "127.0.1.3", "127.0.1.4", "127.0.1.5"}) {
        const int before = b->listener.transferCount();
        peers.push_back(std::make_unique<RawPeer>(QString::fromLatin1(from), QByteArray()));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return b->listener.transferCount() > before || peers.back()->ended; }, kWaitMs));
    }
    EXPECT_EQ(b->listener.transferCount(), CFileListener::kMaxOpenOffers);
    EXPECT_EQ(peers[1]->answers, "z");
    EXPECT_EQ(peers[5]->answers, "z");
    passTime(CSockThread::defaultTiming().offerMs + 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b->listener.transferCount() == 0; }, kWaitMs));
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
    EXPECT_EQ(a->uploads, QList<bool>{false});
    EXPECT_EQ(a->listener.transferCount(), 0);
}

TEST_F(FileTransferTest, QuitStopsRunningTransfers) {
    // The question is still open when the quit sequence ends its transfer.
    b->ask = [&](const QString&, TransferPrompts::SavePathDone done) {
        a->listener.stopAndWait();
        b->listener.stopAndWait();
        done(QString());
    };
    ASSERT_TRUE(a->listener.SendFile(QStringLiteral("127.0.0.2"), file("q", 10)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->ended == 1 && b->ended == 1; }, kWaitMs));
    EXPECT_EQ(a->listener.transferCount(), 0);
    EXPECT_EQ(b->listener.transferCount(), 0);
}

}  // namespace
}  // namespace kova
