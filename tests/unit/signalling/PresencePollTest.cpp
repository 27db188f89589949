#include "signalling/PresencePoll.h"

#include "contacts/ContactEntry.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <mutex>

namespace kova {
namespace {

TEST(PresencePoll, AsksAtMostThirtyContactsInListOrder) {
    QList<int> stepped;
    QStringList asked;
    std::mutex m;
    PresencePoll poll(
        [&stepped](int i) -> std::optional<QString> {
            stepped << i;
            return i < 31 ? std::optional(QString("192.0.2.%1").arg(i)) : std::nullopt;
        },
        [&](const QString& address) {
            std::lock_guard lock(m);
            asked << address;
        });
    ASSERT_TRUE(poll.pollOnce());
    poll.waitForPass();
    EXPECT_EQ(stepped.size(), 30);
    EXPECT_EQ(stepped.back(), 29);
    ASSERT_EQ(asked.size(), 30);
    EXPECT_EQ(asked.front(), "192.0.2.0");
    EXPECT_EQ(asked.back(), "192.0.2.29");
    // Each query's answer tells its round trip once; other addresses none.
    const auto rtt = poll.answered(contactKey("192.0.2.3"));
    ASSERT_TRUE(rtt.has_value());
    EXPECT_GE(*rtt, 0);
    EXPECT_FALSE(poll.answered(contactKey("192.0.2.3")));
    EXPECT_FALSE(poll.answered(contactKey("192.0.2.30")));
}

TEST(PresencePoll, ASlowPassMakesTheNextTickWaitAndClosingEndsIt) {
    QSemaphore release;
    QSemaphore started;
    std::atomic<int> asked = 0;
    auto poll = std::make_unique<PresencePoll>(
        [](int i) -> std::optional<QString> {
            return i < 3 ? std::optional(QStringLiteral("slow.example.org")) : std::nullopt;
        },
        [&](const QString&) { ++asked; }, nullptr,
        [&](const QString&, int*) -> std::optional<std::uint32_t> {
            started.release();
            release.acquire();  // a name service that does not answer
            return 0xC0000201u;
        });
    ASSERT_TRUE(poll->pollOnce());
    started.acquire();
    EXPECT_FALSE(poll->pollOnce()) << "no second worker while the first one hangs";
    poll->setClosing();
    release.release();
    poll->waitForPass();
    EXPECT_EQ(asked, 1) << "the rest of the pass is skipped once the program closes";
    EXPECT_FALSE(poll->pollOnce());
}

TEST(PresencePoll, NamesAreResolvedOnTheWorkerAndTheAnswersComeBack) {
    QStringList asked, answers;
    QThread* const ui = QThread::currentThread();
    PresencePoll poll(
        [](int i) -> std::optional<QString> {
            return i < 2 ? std::optional(QString(i ? "gone.example" : "peer.example"))
                         : std::nullopt;
        },
        [&](const QString& address) { asked << address; }, nullptr,
        [&](const QString& name, int* error) -> std::optional<std::uint32_t> {
            EXPECT_NE(QThread::currentThread(), ui);
            *error = 11001;
            return name == "peer.example" ? std::optional(0xC6336402u) : std::nullopt;
        });
    QObject::connect(&poll, &PresencePoll::nameResolved,
                     [&](const QString& name, quint32 ipv4, int error) {
                         answers << QString("%1 %2 %3").arg(name).arg(ipv4, 0, 16).arg(error);
                     });
    ASSERT_TRUE(poll.pollOnce());
    poll.waitForPass();
    EXPECT_EQ(asked, QStringList{"198.51.100.2"});
    EXPECT_TRUE(answers.empty()) << "answers arrive through the event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, QStringList({"peer.example c6336402 0", "gone.example 0 11001"}));
}

}  // namespace
}  // namespace kova
