#include "signalling/PresencePoll.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <mutex>
#include <tuple>
#include <vector>

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
    QStringList asked;
    std::mutex m;
    std::atomic<bool> onWorker = true;
    QThread* const ui = QThread::currentThread();
    PresencePoll poll(
        [](int i) -> std::optional<QString> {
            static const QStringList list = {"192.0.2.9", "peer.example", "gone.example"};
            return i < list.size() ? std::optional(list[i]) : std::nullopt;
        },
        [&](const QString& address) {
            std::lock_guard lock(m);
            asked << address;
        },
        nullptr,
        [&](const QString& name, int* error) -> std::optional<std::uint32_t> {
            onWorker = onWorker && QThread::currentThread() != ui;
            if (name == "peer.example") {
                return 0xC6336402u;
            }
            *error = 11001;
            return std::nullopt;
        });
    using Answer = std::tuple<QString, quint32, int>;
    std::vector<Answer> answers;
    QObject::connect(&poll, &PresencePoll::nameResolved,
                     [&](const QString& name, quint32 ipv4, int error) {
                         answers.emplace_back(name, ipv4, error);
                     });
    ASSERT_TRUE(poll.pollOnce());
    poll.waitForPass();
    EXPECT_TRUE(onWorker);
    EXPECT_EQ(asked, QStringList({"192.0.2.9", "198.51.100.2"})) << "an unknown name is not asked";
    EXPECT_TRUE(answers.empty()) << "answers arrive through the event loop";
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(answers[0], Answer("peer.example", 0xC6336402u, 0));
    EXPECT_EQ(answers[1], Answer("gone.example", 0u, 11001));
}

}  // namespace
}  // namespace kova
