// The port-mapping service through the real libminiupnpc, against a small IGD
// on 127.0.0.1 (its description URL given, so no multicast search): one that
// answers as a home router does, one that takes the connection and never
// answers, which must hold neither start, stop nor the UI thread, and one
// that drips its answer, which the library alone would wait for without end;
// and a NAT-PMP gateway on 127.0.0.1:5351 through the real libnatpmp.
#include "signalling/PortMappingService.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/PortMapperNatPmp.h"
#include "platform/PortMapperUpnp.h"

namespace kova {
namespace {

using Status = PortMappingState::Status;

const QList<PortMappingCore::Port> kPorts = {{MapProtocol::Udp, 6321},
                                             {MapProtocol::Udp, 6323},
                                             {MapProtocol::Udp, 6324},
                                             {MapProtocol::Udp, 6326},
                                             {MapProtocol::Tcp, 6327}};

const char kDescription[] =
    "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
    "<device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
    "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
    "<serviceList><service>"
    "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>"
    "<controlURL>/cif</controlURL><eventSubURL>/ev</eventSubURL><SCPDURL>/c.xml</SCPDURL>"
    "</service></serviceList>"
    "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1"
    "</deviceType><serviceList><service>"
    "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
    "<controlURL>/ctl</controlURL><eventSubURL>/ev</eventSubURL><SCPDURL>/i.xml</SCPDURL>"
    "</service></serviceList></device></deviceList></device></deviceList></device></root>";

std::string envelope(const std::string& body) {
    return "<?xml version=\"1.0\"?><s:Envelope "
           "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>" +
           body + "</s:Body></s:Envelope>";
}

std::string element(const std::string& text, const std::string& name) {
    const auto a = text.find("<" + name + ">");
    const auto b = text.find("</" + name + ">");
    return a == std::string::npos || b == std::string::npos
               ? std::string()
               : text.substr(a + name.size() + 2, b - a - name.size() - 2);
}

// Listens on an ephemeral port of 127.0.0.1. A silent router never accepts:
// the kernel completes the handshake and the request waits unanswered.
class TestIgd {
public:
    enum Mode { Answers, Silent, Drips };
    explicit TestIgd(Mode mode) : mode_(mode) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(fd_, 16), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        if (mode != Silent) {
            thread_ = std::thread([this] { serve(); });
        }
    }
    ~TestIgd() { close(); }
    // Pending connections are reset: a waiting request ends.
    void close() {
        if (fd_ < 0) {
            return;
        }
        ::shutdown(fd_, SHUT_RDWR);  // wakes the accept
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(fd_);
        fd_ = -1;
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/desc.xml").arg(port_); }
    QStringList requests() {
        std::lock_guard lock(m_);
        return requests_;
    }

private:
    void serve() {
        for (;;) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) {
                return;
            }
            std::string in;
            char buf[4096];
            ssize_t got = 0;
            std::size_t end = 0;
            while ((end = in.find("\r\n\r\n")) == std::string::npos &&
                   (got = ::recv(c, buf, sizeof buf, 0)) > 0) {
                in.append(buf, static_cast<std::size_t>(got));
            }
            const auto lengthAt = in.find("Content-Length: ");
            const std::size_t length =
                lengthAt == std::string::npos ? 0 : std::stoul(in.substr(lengthAt + 16));
            while (end != std::string::npos && in.size() < end + 4 + length &&
                   (got = ::recv(c, buf, sizeof buf, 0)) > 0) {
                in.append(buf, static_cast<std::size_t>(got));
            }
            if (mode_ == Drips) {
                // A header line a byte at a time, each well within the library's
                // read time-out; ends when the client cuts the connection.
                std::string line = "HTTP/1.1 200 OK\r\n";
                for (std::size_t i = 0; ::send(c, &line[i % line.size()], 1, MSG_NOSIGNAL) == 1;
                     ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    line = i < 20 ? line : "X-Drip: x\r\n";
                }
            } else {
                const std::string reply = answer(in);
                ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            ::close(c);
        }
    }

    std::string answer(const std::string& request) {
        std::string status = "200 OK", body;
        if (request.rfind("GET ", 0) == 0) {
            body = kDescription;
        } else {
            const auto hash = request.find('#');
            const std::string action = request.substr(hash + 1, request.find('"', hash) - hash - 1);
            const std::string port = element(request, "NewExternalPort");
            {
                std::lock_guard lock(m_);
                requests_ << QString::fromStdString(action + " " + element(request, "NewProtocol") +
                                                    " " + port);
            }
            const std::string u = "xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\"";
            if (action == "GetExternalIPAddress") {
                body = "<u:GetExternalIPAddressResponse " + u +
                       "><NewExternalIPAddress>203.0.113.1</NewExternalIPAddress>"
                       "</u:GetExternalIPAddressResponse>";
            } else if (action == "GetSpecificPortMappingEntry" && port == "6321") {
                body = "<u:GetSpecificPortMappingEntryResponse " + u +
                       "><NewInternalPort>6321</NewInternalPort><NewInternalClient>198.51.100.200"
                       "</NewInternalClient><NewEnabled>1</NewEnabled><NewPortMappingDescription>"
                       "x</NewPortMappingDescription><NewLeaseDuration>0</NewLeaseDuration>"
                       "</u:GetSpecificPortMappingEntryResponse>";
            } else if (action == "GetSpecificPortMappingEntry" ||
                       (action == "AddPortMapping" && port == "6326")) {
                const bool missing = action != "AddPortMapping";
                status = "500 Internal Server Error";
                body = std::string(
                           "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError"
                           "</faultstring><detail><UPnPError "
                           "xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>") +
                       (missing ? "714" : "718") + "</errorCode><errorDescription>x" +
                       "</errorDescription></UPnPError></detail></s:Fault>";
            } else {
                body = "<u:" + action + "Response " + u + "/>";
            }
            body = envelope(body);
        }
        return "HTTP/1.1 " + status +
               "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

    Mode mode_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::mutex m_;
    QStringList requests_;
};

PortMappingService::MakeMappers igdAt(const QString& url) {
    return [url] {
        std::vector<std::unique_ptr<IPortMapper>> v;
        v.push_back(std::make_unique<UpnpPortMapper>(url));
        return v;
    };
}

TEST(PortMappingIgd, MapsWhatIsFreeAndDeletesItAtStop) {
    TestIgd igd(TestIgd::Answers);
    PortMappingService service(true, kPorts, igdAt(igd.url()));
    QSignalSpy changed(&service, &PortMappingService::changed);
    QElapsedTimer clock;
    clock.start();
    service.start();
    ASSERT_TRUE(changed.wait(5000));
    std::cout << "[ timing ] five ports asked in " << clock.elapsed() << " ms\n";
    const PortMappingState state = service.state();
    EXPECT_EQ(state.method, "UPnP IGD");
    EXPECT_EQ(state.externalAddress, "203.0.113.1");
    EXPECT_TRUE(state.reservedExternal) << "a documentation address is not public";
    ASSERT_EQ(state.ports.size(), 5);
    EXPECT_EQ(describePort(state.ports[0]), "not forwarded: in use by 198.51.100.200");
    EXPECT_EQ(describePort(state.ports[3]),
              "not forwarded: refused by the router: 718 ConflictInMappingEntry");
    for (int i : {1, 2, 4}) {
        EXPECT_EQ(state.ports[i].status, Status::Forwarded) << i;
    }
    EXPECT_FALSE(igd.requests().contains("AddPortMapping UDP 6321"));
    service.stop();
    const QStringList deletes = igd.requests().filter("DeletePortMapping");
    EXPECT_EQ(deletes, (QStringList{"DeletePortMapping UDP 6323", "DeletePortMapping UDP 6324",
                                    "DeletePortMapping TCP 6327"}));
}

TEST(PortMappingIgd, SilentRouterHoldsNeitherStartNorStopNorTheWindow) {
    TestIgd igd(TestIgd::Silent);
    auto service = std::make_unique<PortMappingService>(true, kPorts, igdAt(igd.url()));
    QElapsedTimer clock;
    qint64 longestGap = 0, last = 0;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start();
    clock.start();
    service->start();
    EXPECT_LT(clock.elapsed(), 100);
    QTest::qWait(1500);
    EXPECT_EQ(service->state().ports[0].status, Status::Looking);
    QElapsedTimer stopping;
    stopping.start();
    service.reset();
    EXPECT_LT(stopping.elapsed(), 2500) << "quit waits two seconds at most";
    last = clock.elapsed();
    QTest::qWait(100);
    EXPECT_LT(longestGap, 300) << "the UI thread kept running while the router was silent";
    // The worker left behind gives up within the call's budget.
    QTRY_COMPARE_WITH_TIMEOUT(PortMappingService::runningWorkers(), 0, 5000);
    QTest::qWait(50);  // its thread object goes later
}

TEST(PortMappingIgd, DrippingRouterIsCutAtTheCallsBudget) {
    TestIgd igd(TestIgd::Drips);
    UpnpPortMapper mapper(igd.url());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(mapper.discover());
    EXPECT_GE(clock.elapsed(), UpnpPortMapper::kCallBudget.count() - 100);
    EXPECT_LT(clock.elapsed(), 5000);
    igd.close();
}

// Answers the public address and mapping requests; UDP 6321 is held by
// another host, so it offers 6400 instead. Silent: reads and never answers.
class TestNatPmp {
public:
    explicit TestNatPmp(bool answers) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(5351);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        thread_ = std::thread([this, answers] { serve(answers); });
    }
    ~TestNatPmp() {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    QStringList requests() {
        std::lock_guard lock(m_);
        return requests_;
    }

private:
    void serve(bool answers) {
        unsigned char in[16], out[16] = {};
        sockaddr_in from{};
        socklen_t n = sizeof from;
        ssize_t got = 0;
        while ((got = ::recvfrom(fd_, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &n)) >
               0) {
            if (got < 2 || !answers) {
                continue;
            }
            out[1] = static_cast<unsigned char>(128 + in[1]);
            std::size_t size = 12;
            if (in[1] == 0) {
                const std::uint32_t ip = htonl(0xcb007101);
                std::memcpy(out + 8, &ip, 4);
            } else {
                const std::uint16_t priv = static_cast<std::uint16_t>(in[4] << 8 | in[5]);
                const std::uint32_t life =
                    std::uint32_t{in[8]} << 24 | in[9] << 16 | in[10] << 8 | in[11];
                {
                    std::lock_guard lock(m_);
                    requests_
                        << QString("%1 %2 %3").arg(in[1] == 1 ? "udp" : "tcp").arg(priv).arg(life);
                }
                const std::uint16_t pub =
                    in[1] == 1 && priv == 6321 && life > 0 ? 6400 : (life ? priv : 0);
                std::memcpy(out + 8, in + 4, 2);
                out[10] = static_cast<unsigned char>(pub >> 8);
                out[11] = static_cast<unsigned char>(pub);
                std::memcpy(out + 12, in + 8, 4);
                size = 16;
            }
            ::sendto(fd_, out, size, 0, reinterpret_cast<sockaddr*>(&from), n);
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::mutex m_;
    QStringList requests_;
};

PortMappingService::MakeMappers gatewayAtLoopback() {
    return [] {
        std::vector<std::unique_ptr<IPortMapper>> v;
        v.push_back(std::make_unique<NatPmpPortMapper>(INADDR_LOOPBACK));
        return v;
    };
}

TEST(PortMappingNatPmp, TakesOnlyTheFixedPortsAndDeletesThemAtStop) {
    TestNatPmp gateway(true);
    PortMappingService service(true, kPorts, gatewayAtLoopback());
    QSignalSpy changed(&service, &PortMappingService::changed);
    service.start();
    ASSERT_TRUE(changed.wait(5000));
    const PortMappingState state = service.state();
    EXPECT_EQ(state.method, "NAT-PMP");
    EXPECT_EQ(state.externalAddress, "203.0.113.1");
    EXPECT_EQ(describePort(state.ports[0]), "not forwarded: in use by another host");
    EXPECT_EQ(describePort(state.ports[4]), "forwarded by the router");
    service.stop();
    const QStringList r = gateway.requests();
    EXPECT_EQ(r.mid(0, 2), (QStringList{"udp 6321 3600", "udp 6321 0"}))
        << "the other port offered is given back at once";
    EXPECT_EQ(r.filter(" 0").size(), 5) << "one delete for each port taken, and that one";
}

TEST(PortMappingNatPmp, SilentGatewayIsGivenUpWithinTheWait) {
    TestNatPmp gateway(false);
    NatPmpPortMapper mapper(INADDR_LOOPBACK);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(mapper.discover());
    EXPECT_LT(clock.elapsed(), NatPmpPortMapper::kAnswerWait.count() + 500);
}

}  // namespace
}  // namespace kova
