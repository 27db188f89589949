#pragma once
// A non-blocking IPv4 TCP connection whose notifications arrive on the thread
// that attached it. It either connects out (the notification of completion
// comes on the connecting thread) and hands its descriptor on, or attaches a
// descriptor connected elsewhere. TCP_NODELAY is always set: the transfer's
// one-byte replies would otherwise meet delayed acknowledgements.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>

#include "platform/TcpStream.h"

class QSocketNotifier;

namespace kova {

class TcpSocket : public QObject, public ITcpStream {
    Q_OBJECT
public:
    explicit TcpSocket(QObject* parent = nullptr);
    ~TcpSocket() override;

    // Starts connecting to host:port from bindAddress (empty: any). Returns 0
    // when under way (connected() follows) or the socket error.
    int connectTo(const QString& host, std::uint16_t port, const QString& bindAddress = {});
    // Takes over a connected descriptor and starts read notifications on the
    // calling thread.
    void attach(int fd);
    // Gives the descriptor away (to another thread); the socket is then closed
    // without closing it. -1 when none.
    int takeDescriptor();

    StreamIo send(ByteSpan bytes) override;
    StreamIo receive(MutableByteSpan buffer) override;
    void setReadNotifications(bool enabled) override;
    // Attached socket: writable() whenever a send would not block, while on.
    void setWriteNotifications(bool enabled);
    void close() override;
    bool isOpen() const { return fd_.load() >= 0; }

    // Sets TCP_NODELAY (and close-on-exec is set at creation).
    static void tune(int fd);
    // Closes a descriptor that was never attached.
    static void closeDescriptor(int fd);

signals:
    // The connect started by connectTo ended: 0 or the socket error.
    void connected(int error);
    // Data, end of stream or an error waits; the read tells which.
    // pendingError is kept 0 (the read reports it).
    void readNotification(int pendingError);
    // Room to send again (see setWriteNotifications).
    void writable();

private:
    // One send or receive, retried on interruption, errors mapped.
    template <typename Call>
    StreamIo io(Call call);
    void onWritable();
    void onReadable();
    int pendingError() const;

    std::atomic<int> fd_{-1};
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;  // the connect's completion
    QSocketNotifier* sendNotifier_ = nullptr;
};

}  // namespace kova
