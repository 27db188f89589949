#include "signalling/PresencePoll.h"

#include <gtest/gtest.h>

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
}

TEST(PresencePoll, ASlowPassMakesTheNextTickWaitAndClosingEndsIt) {
    QSemaphore release;
    QSemaphore started;
    std::atomic<int> asked = 0;
    auto poll = std::make_unique<PresencePoll>(
        [](int i) -> std::optional<QString> {
            return i < 3 ? std::optional(QStringLiteral("slow.example.org")) : std::nullopt;
        },
        [&](const QString&) {
            ++asked;
            started.release();
            release.acquire();  // a name service that does not answer
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

}  // namespace
}  // namespace kova
