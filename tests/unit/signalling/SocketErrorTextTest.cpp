#include "signalling/SocketErrorText.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace kova {
namespace {

TEST(SocketErrorText, KnownNumbersReplaceTheTextOthersLeaveIt) {
    QString text = "unchanged";
    SocketErrorText(text, 10056);
    EXPECT_EQ(text, "unchanged");
    SocketErrorText(text, 0);
    EXPECT_EQ(text, "unchanged");

    SocketErrorText(text, 10050);
    EXPECT_EQ(text,
              "The Windows Sockets implementation detected that the network subsystem failed.");
    SocketErrorText(text, 10022);
    EXPECT_EQ(text, "The host name is invalid.");
    SocketErrorText(text, 10093);
    EXPECT_EQ(text, "A successful AfxSocketInit must occur before using this API.");

    // Every table number has a text of its own.
    QStringList seen;
    for (int n : {10013, 10014, 10022, 10035, 10036, 10038, 10039, 10040, 10045, 10047,
                  10049, 10050, 10051, 10052, 10053, 10054, 10055, 10057, 10058, 10093}) {
        QString t;
        SocketErrorText(t, n);
        EXPECT_FALSE(t.isEmpty()) << n;
        EXPECT_FALSE(seen.contains(t)) << n;
        seen << t;
    }
}

TEST(SocketErrorText, ReadsTheThreadsLastErrorByDefault) {
    setLastSocketError(10039);
    QString text;
    SocketErrorText(text);
    EXPECT_EQ(text, "A destination address is required.");
    setLastSocketError(0);
}

}  // namespace
}  // namespace kova
