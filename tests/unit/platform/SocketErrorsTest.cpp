#include "platform/SocketErrors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <thread>

namespace kova {
namespace {

TEST(SocketErrors, ErrnoAndResolverCodesBecomeWindowsSocketsNumbers) {
    EXPECT_EQ(toSocketError(0), 0);
    EXPECT_EQ(toSocketError(ENETDOWN), 10050);
    EXPECT_EQ(toSocketError(ENETUNREACH), 10051);
    EXPECT_EQ(toSocketError(EMSGSIZE), 10040);
    EXPECT_EQ(toSocketError(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(toSocketError(EADDRINUSE), 10048);
    EXPECT_EQ(toSocketError(ECONNRESET), 10054);
    EXPECT_EQ(toSocketError(EWOULDBLOCK), 10035);
    EXPECT_EQ(toSocketError(EAGAIN), 10035);
    EXPECT_EQ(toSocketError(EACCES), 10013);
    EXPECT_EQ(toSocketError(ENOTSOCK), 10038);
    EXPECT_EQ(toSocketError(ENOBUFS), 10055);
    // No counterpart: unchanged, so no error text matches it.
    EXPECT_EQ(toSocketError(ENOENT), ENOENT);

    EXPECT_EQ(toSocketError(EAI_NONAME, SocketErrorSource::Resolver), 10022);
    EXPECT_EQ(toSocketError(EAI_AGAIN, SocketErrorSource::Resolver), 10022);
    EXPECT_EQ(toSocketError(EAI_MEMORY, SocketErrorSource::Resolver), 10055);
}

TEST(SocketErrors, LastErrorBelongsToEachThread) {
    setLastSocketError(10054);
    int other = -1;
    std::thread([&other] {
        other = lastSocketError();
        setLastSocketError(10050);
    }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(lastSocketError(), 10054);
    setLastSocketError(0);
}

}  // namespace
}  // namespace kova
