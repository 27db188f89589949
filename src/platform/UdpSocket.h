#pragma once
// A non-blocking IPv4 UDP socket whose read notifications arrive on the thread
// that opened it. Serves the control, media and chat channels: datagrams up to
// the IPv4 limit, read into the caller's buffer, nothing allocated per datagram.
// Failures come back as Windows Sockets numbers and are also left as the calling
// thread's last socket error.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"

class QSocketNotifier;

namespace kova {

class UdpSocket : public QObject {
    Q_OBJECT
public:
    // 65535 minus the IPv4 and UDP headers.
    static constexpr std::size_t kMaxDatagram = 65507;

    struct Received {
        int error = 0;                 // 0 when a datagram was read
        std::size_t size = 0;          // bytes placed in the buffer
        std::uint32_t sourceIpv4 = 0;  // host byte order
        std::uint16_t sourcePort = 0;
        bool ok() const { return error == 0; }
    };

    explicit UdpSocket(QObject* parent = nullptr);
    ~UdpSocket() override;

    // Binds to the port on bindAddress (empty: every local interface; dotted
    // only, like every address this class takes) and starts read
    // notifications. Returns 0 or the socket error.
    int open(std::uint16_t port, const QString& bindAddress = {});
    void close();
    bool isOpen() const { return fd_.load() >= 0; }
    // The bound port (useful after binding port 0).
    std::uint16_t localPort() const;

    // Sends one datagram. Callable from any thread while the socket is open: it
    // is a single datagram operation. The address must be dotted: sends come
    // from the UI thread, which never waits for a name service, so a host name
    // fails as an invalid host (names are resolved on workers, see resolve()).
    // Returns 0 or the socket error.
    int sendTo(ByteSpan datagram, const QString& host, std::uint16_t port);
    int sendTo(ByteSpan datagram, std::uint32_t ipv4, std::uint16_t port);

    // Asks the kernel for socket buffers of these sizes (0 leaves one as it
    // is), beyond the system's default limit where the process may. Returns 0
    // or the socket error of the first size that could not be set at all.
    int setBufferSizes(int receiveBytes, int sendBytes);
    // Waits up to timeoutMs until a datagram can be sent without blocking.
    // Callable from any thread while the socket is open.
    bool waitWritable(int timeoutMs);

    // Reads one datagram into buffer. One longer than the buffer is consumed and
    // fails with the message-size error, like any other read error.
    Received receiveFrom(MutableByteSpan buffer);

    // Pauses or resumes read notifications (a reader that is busy elsewhere).
    void setReadNotifications(bool enabled);

    // "a.b.c.d" for a host-order address.
    static QString dottedText(std::uint32_t ipv4);
    // Parses a dotted address the way the classic inet_addr does (also "a.b.c",
    // "a.b", "a" and hexadecimal/octal parts); nullopt for anything else.
    static std::optional<std::uint32_t> parseDotted(const QString& text);
    // A dotted address or a host name to its first IPv4 address. On failure
    // returns nullopt and sets *error to the socket error. A name blocks on the
    // name service for as long as it takes: workers only.
    static std::optional<std::uint32_t> resolve(const QString& host, int* error);

signals:
    // The socket has a datagram or an error waiting. pendingError is the error
    // the socket reported with this notification (0: none).
    void readNotification(int pendingError);

private:
    void onActivated();

    std::atomic<int> fd_{-1};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kova
