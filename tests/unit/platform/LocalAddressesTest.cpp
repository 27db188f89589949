#include "platform/LocalAddresses.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <vector>

namespace kova {
namespace {

constexpr std::uint32_t ip(int a, int b, int c, int d) {
    return static_cast<std::uint32_t>(a << 24 | b << 16 | c << 8 | d);
}

TEST(LocalAddresses, ResolverAddressesJoinedByOneSpace) {
    const std::vector<std::uint32_t> two{ip(10, 0, 0, 2), ip(192, 168, 1, 7)};
    EXPECT_EQ(formatLocalAddresses(two, {}), "10.0.0.2 192.168.1.7");
    const std::vector<std::uint32_t> one{ip(192, 168, 0, 5)};
    EXPECT_EQ(formatLocalAddresses(one, {}), "192.168.0.5");
    EXPECT_EQ(formatLocalAddresses({}, {}), "");
    // One entry per socket type from some resolvers: listed once.
    const std::vector<std::uint32_t> twice{ip(10, 0, 0, 2), ip(10, 0, 0, 2)};
    EXPECT_EQ(formatLocalAddresses(twice, {}), "10.0.0.2");
}

TEST(LocalAddresses, LoopbackOnlyAnswerFallsBackToInterfaces) {
    const std::vector<InterfaceAddress> interfaces{
        {ip(127, 0, 0, 1), true, true},
        {ip(192, 168, 1, 7), false, true},
        {ip(172, 16, 0, 1), false, false},  // down
        {ip(10, 0, 0, 2), false, true},
    };
    const std::vector<std::uint32_t> loopback{ip(127, 0, 1, 1)};
    EXPECT_EQ(formatLocalAddresses(loopback, interfaces), "192.168.1.7 10.0.0.2");
    // A real address from the resolver wins, even beside a loopback one.
    const std::vector<std::uint32_t> mixed{ip(127, 0, 1, 1), ip(10, 1, 1, 1)};
    EXPECT_EQ(formatLocalAddresses(mixed, interfaces), "127.0.1.1 10.1.1.1");
    // Nothing else to offer: the loopback answer stays.
    EXPECT_EQ(formatLocalAddresses(loopback, {}), "127.0.1.1");
}

TEST(LocalAddresses, ThisHostGivesDottedAddressesOrNothing) {
    const QString text = LocalAddresses();
    static const QRegularExpression form(R"(^$|^\d{1,3}(\.\d{1,3}){3}( \d{1,3}(\.\d{1,3}){3})*$)");
    EXPECT_TRUE(form.match(text).hasMatch()) << text.toStdString();
}

}  // namespace
}  // namespace kova
