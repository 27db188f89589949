#pragma once
// A listening IPv4 TCP socket with accept notifications on the thread that
// opened it. Accepted descriptors are non-blocking with TCP_NODELAY, ready to be
// attached to a TcpSocket on any thread.

#include <QObject>
#include <QString>
#include <cstdint>

class QSocketNotifier;

namespace kova {

class TcpListener : public QObject {
    Q_OBJECT
public:
    struct Accepted {
        int error = 0;  // 0, or the socket error (10035: nobody waiting)
        int fd = -1;
        std::uint32_t peerIpv4 = 0;  // host byte order
        std::uint16_t peerPort = 0;
    };

    explicit TcpListener(QObject* parent = nullptr);
    ~TcpListener() override;

    // Binds port on bindAddress (empty: every interface) and listens. Returns 0
    // or the socket error.
    int open(std::uint16_t port, const QString& bindAddress = {}, int backlog = 5);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    std::uint16_t localPort() const;

    Accepted accept();

signals:
    void acceptNotification();

private:
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kova
