#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <map>
#include <mutex>

#include "platform/PortMapperWatchdog.h"
#include "signalling/PortMappingCore.h"
#include "signalling/PortMappingService.h"

namespace kova {
namespace {

using Status = PortMappingState::Status;
using Clock = PortMappingCore::Clock;
using namespace std::chrono_literals;

const QList<PortMappingCore::Port> kPorts = {
    {MapProtocol::Udp, 6321}, {MapProtocol::Udp, 6323}, {MapProtocol::Tcp, 6327}};

// A router as the service sees it. Read its records only once the worker is
// joined, or under its lock.
struct FakeRouter : IPortMapper {
    std::optional<RouterFound> answer;
    std::map<std::uint16_t, ExistingMapping> held;
    std::map<std::uint16_t, MapOutcome> outcomes;  // default: mapped
    int discovers = 0;
    QList<std::uint16_t> added;
    QList<std::uint16_t> removed;
    std::mutex m;

    std::optional<RouterFound> discover() override {
        std::lock_guard lock(m);
        ++discovers;
        return answer;
    }
    std::optional<ExistingMapping> existing(MapProtocol, std::uint16_t port) override {
        const auto it = held.find(port);
        return it == held.end() ? std::nullopt : std::optional(it->second);
    }
    MapOutcome add(MapProtocol, std::uint16_t port, const QString& lan,
                   std::uint32_t lease) override {
        std::lock_guard lock(m);
        EXPECT_EQ(lan, "198.51.100.130");
        EXPECT_EQ(lease, 3600u);
        added << port;
        const auto it = outcomes.find(port);
        return it == outcomes.end() ? MapOutcome{MapOutcome::Kind::Mapped, {}} : it->second;
    }
    bool remove(MapProtocol, std::uint16_t port, std::chrono::milliseconds budget) override {
        std::lock_guard lock(m);
        EXPECT_GT(budget.count(), 0);
        removed << port;
        return true;
    }
};

// What the service owns, lending the test's router, which outlives the worker.
struct Lent : IPortMapper {
    explicit Lent(FakeRouter& r) : r(r) {}
    FakeRouter& r;
    std::optional<RouterFound> discover() override { return r.discover(); }
    std::optional<ExistingMapping> existing(MapProtocol p, std::uint16_t port) override {
        return r.existing(p, port);
    }
    MapOutcome add(MapProtocol p, std::uint16_t port, const QString& lan,
                   std::uint32_t l) override {
        return r.add(p, port, lan, l);
    }
    bool remove(MapProtocol p, std::uint16_t port, std::chrono::milliseconds b) override {
        return r.remove(p, port, b);
    }
};

std::vector<std::unique_ptr<IPortMapper>> lend(std::initializer_list<FakeRouter*> routers) {
    std::vector<std::unique_ptr<IPortMapper>> v;
    for (FakeRouter* r : routers) {
        v.push_back(std::make_unique<Lent>(*r));
    }
    return v;
}

RouterFound igd() {
    return {"UPnP IGD", "198.51.100.130", "203.0.113.1", true};
}

struct Routers {
    FakeRouter upnp_, natpmp_;
    FakeRouter* upnp = &upnp_;
    FakeRouter* natpmp = &natpmp_;
    PortMappingCore core{lend({upnp, natpmp}), kPorts};
    QList<Status> statuses() const {
        QList<Status> s;
        for (const auto& p : core.state().ports) {
            s << p.status;
        }
        return s;
    }
};

const auto kGoOn = [] { return false; };

TEST(PortMapping, UpnpFirstThenNatPmpThenNobody) {
    Routers both;
    both.upnp->answer = igd();
    both.core.startUp(Clock::now(), kGoOn);
    EXPECT_EQ(both.natpmp->discovers, 0) << "UPnP answered: NAT-PMP is not asked";
    EXPECT_EQ(both.upnp->added, (QList<std::uint16_t>{6321, 6323, 6327}));
    EXPECT_EQ(both.core.state().method, "UPnP IGD");
    EXPECT_TRUE(both.core.state().reservedExternal);
    EXPECT_EQ(both.statuses(), QList<Status>(3, Status::Forwarded));
    EXPECT_EQ(describePort(both.core.state().ports[0]), "forwarded by the router");

    Routers fallback;
    fallback.natpmp->answer = RouterFound{"NAT-PMP", "198.51.100.130", "203.0.113.1", true};
    fallback.core.startUp(Clock::now(), kGoOn);
    EXPECT_EQ(fallback.upnp->discovers, 1);
    EXPECT_EQ(fallback.natpmp->added.size(), 3);
    EXPECT_EQ(fallback.core.state().method, "NAT-PMP");

    Routers none;
    none.core.startUp(Clock::now(), kGoOn);
    EXPECT_EQ(none.statuses(), QList<Status>(3, Status::NoRouter));
    EXPECT_EQ(describePort(none.core.state().ports[2]), "not forwarded: no router answered");
    EXPECT_EQ(none.core.nextRenewal(), Clock::time_point::max());
}

TEST(PortMapping, AnotherHostsMappingIsLeftAndRefusalsAreReported) {
    Routers r;
    r.upnp->answer = igd();
    r.upnp->held[6321] = {"198.51.100.200", 6321, true, 0};
    r.upnp->held[6323] = {"198.51.100.130", 6323, true, 1200};  // ours, from a crashed run
    r.upnp->outcomes[6327] = {MapOutcome::Kind::Refused, "718 ConflictInMappingEntry"};
    r.core.startUp(Clock::now(), kGoOn);
    EXPECT_EQ(r.upnp->added, (QList<std::uint16_t>{6323, 6327})) << "6321 is never overwritten";
    EXPECT_EQ(r.statuses(), (QList<Status>{Status::InUse, Status::Forwarded, Status::Refused}));
    EXPECT_EQ(describePort(r.core.state().ports[0]), "not forwarded: in use by 198.51.100.200");
    EXPECT_EQ(describePort(r.core.state().ports[2]),
              "not forwarded: refused by the router: 718 ConflictInMappingEntry");

    r.core.removeAll(Clock::now() + 2s, &Clock::now);
    EXPECT_EQ(r.upnp->removed, (QList<std::uint16_t>{6323})) << "only what we made";
}

TEST(PortMapping, RenewsAtHalfTheLeaseAndDeletesOnlyWhileThereIsTime) {
    Routers r;
    r.upnp->answer = igd();
    r.upnp->outcomes[6323] = {MapOutcome::Kind::NoAnswer, {}};
    const Clock::time_point t0 = Clock::now();
    r.core.startUp(t0, kGoOn);
    EXPECT_EQ(r.core.nextRenewal(), t0 + 1800s);
    EXPECT_FALSE(r.core.renewIfDue(t0 + 1799s));
    EXPECT_EQ(r.upnp->added.size(), 3);
    ASSERT_TRUE(r.core.renewIfDue(t0 + 1800s));
    EXPECT_EQ(r.upnp->added.mid(3), (QList<std::uint16_t>{6321, 6327}));
    EXPECT_EQ(r.core.nextRenewal(), t0 + 3600s);

    // The first deletion uses up the time: the second is left to the lease.
    Clock::time_point fakeNow = t0;
    r.core.removeAll(t0 + 1s, [&] { return std::exchange(fakeNow, t0 + 5s); });
    EXPECT_EQ(r.upnp->removed, (QList<std::uint16_t>{6321}));
    EXPECT_EQ(r.core.nextRenewal(), Clock::time_point::max());
}

TEST(PortMapping, SwitchedOffAsksNobody) {
    bool made = false;
    PortMappingService off(false, kPorts, [&made] {
        made = true;
        return std::vector<std::unique_ptr<IPortMapper>>{};
    });
    off.start();
    off.stop();
    EXPECT_FALSE(made);
    EXPECT_EQ(off.state().ports.size(), 3);
    for (const auto& port : off.state().ports) {
        EXPECT_EQ(describePort(port), "not forwarded: switched off");
    }
}

TEST(PortMapping, ServiceMapsOnItsWorkerAndDeletesAtStop) {
    FakeRouter router;
    router.answer = igd();
    PortMappingService service(true, kPorts, [&router] { return lend({&router}); });
    EXPECT_EQ(service.state().ports[0].status, Status::Looking);
    QSignalSpy changed(&service, &PortMappingService::changed);
    service.start();
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(service.state().externalAddress, "203.0.113.1");
    EXPECT_EQ(service.state().ports[2].status, Status::Forwarded);
    service.stop();
    EXPECT_EQ(PortMappingService::runningWorkers(), 0);
    EXPECT_EQ(router.removed, (QList<std::uint16_t>{6321, 6323, 6327}));
}

TEST(PortMapping, AnswersBecomeValuesOrNothing) {
    EXPECT_EQ(parseIpv4("203.0.113.1"), 0xcb007101u);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "01.2.3.4", "1.2.3.-4", "a.b.c.d",
                            "1..3.4", " 1.2.3.4"}) {
        EXPECT_FALSE(parseIpv4(bad)) << bad;
    }
    EXPECT_EQ(parseMappingEntry("198.51.100.200", "6321", "1", "3600"),
              (ExistingMapping{"198.51.100.200", 6321, true, 3600}));
    EXPECT_EQ(parseMappingEntry("198.51.100.200", "6321", "", ""),
              (ExistingMapping{"198.51.100.200", 6321, true, 0}));
    EXPECT_FALSE(parseMappingEntry("", "6321", "1", "0"));
    EXPECT_FALSE(parseMappingEntry("198.51.100.200", "65536", "1", "0"));
    EXPECT_FALSE(parseMappingEntry("198.51.100.200", "0", "1", "0"));
    EXPECT_TRUE(isReservedIpv4(*parseIpv4("203.0.113.1")));
    EXPECT_TRUE(isReservedIpv4(*parseIpv4("100.64.0.1")));
    EXPECT_TRUE(isReservedIpv4(*parseIpv4("172.31.255.255")));
    EXPECT_FALSE(isReservedIpv4(*parseIpv4("172.32.0.1")));
    EXPECT_FALSE(isReservedIpv4(*parseIpv4("8.8.8.8")));
    // The watchdog knows the router's connections by these.
    EXPECT_EQ(routerPeerOf("http://192.0.2.1:5000/ctl?x"), (RouterPeer{0xc0000201, 5000}));
    EXPECT_EQ(routerPeerOf("http://192.0.2.1/desc.xml"), (RouterPeer{0xc0000201, 80}));
    for (const char* bad :
         {"http://router.lan:5000/", "http://192.0.2.1:0/", "http://192.0.2.1:65536",
          "http://192.0.2.1:/", "https://192.0.2.1/", "http://[::1]:80/"}) {
        EXPECT_FALSE(routerPeerOf(bad)) << bad;
    }
}

}  // namespace
}  // namespace kova
