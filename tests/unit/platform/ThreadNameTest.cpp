#include "platform/ThreadName.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <thread>

#include "common/ThreadCheck.h"

namespace kova {
namespace {

std::string systemName(pthread_t thread) {
    char name[32] = {};
    pthread_getname_np(thread, name, sizeof name);
    return name;
}

TEST(ThreadName, BothKindsOfThreadCarryTheirWholeNameToTheSystem) {
    std::string seen;
    std::thread plain([&seen] {
        nameCurrentThread("kova-15-chars-x");
        seen = systemName(pthread_self());
    });
    plain.join();
    EXPECT_EQ(seen, "kova-15-chars-x");

    QThread* qt = createWorker([&seen] { seen = systemName(pthread_self()); });
    nameThread(*qt, "kova-resolver");
    qt->start();
    joinWorker(*qt);
    delete qt;
    EXPECT_EQ(seen, "kova-resolver");
}

TEST(ThreadCheck, OwnedByItsCreatorUntilHandedToAWorker) {
    ThreadCheck check;
    EXPECT_TRUE(check.isCurrentThread());
    bool onWorker = true;
    std::thread([&] { onWorker = check.isCurrentThread(); }).join();
    EXPECT_FALSE(onWorker);

    QThread* worker = createWorker([&] { onWorker = check.isCurrentThread(); });
    check.attach(worker);
    worker->start();
    joinWorker(*worker);
    delete worker;
    EXPECT_TRUE(onWorker);
    EXPECT_FALSE(check.isCurrentThread());
    check.attachToCurrent();
    EXPECT_TRUE(check.isCurrentThread());
}

}  // namespace
}  // namespace kova
