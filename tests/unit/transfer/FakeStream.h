#pragma once
// A connection whose peer is the test: bytes it "sent" are queued for reading,
// what the transfer sends is collected.

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <cstring>

#include "common/WindowMessages.h"
#include "platform/TcpStream.h"

namespace kova::test {

class FakeStream : public ITcpStream {
public:
    QByteArray incoming;
    bool peerClosed = false;
    int sendError = 0;
    int receiveError = 0;
    QByteArray sent;
    bool closed = false;
    bool notifications = true;

    StreamIo send(ByteSpan bytes) override {
        if (closed) {
            return {10038, 0};
        }
        if (sendError != 0) {
            return {sendError, 0};
        }
        sent.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        return {0, bytes.size()};
    }
    StreamIo receive(MutableByteSpan buffer) override {
        if (closed) {
            return {10038, 0};
        }
        if (receiveError != 0) {
            return {receiveError, 0};
        }
        if (incoming.isEmpty()) {
            return peerClosed ? StreamIo{0, 0} : StreamIo{10035, 0};
        }
        const std::size_t n = std::min<std::size_t>(buffer.size(), std::size_t(incoming.size()));
        std::memcpy(buffer.data(), incoming.constData(), n);
        incoming.remove(0, qsizetype(n));
        return {0, n};
    }
    void setReadNotifications(bool enabled) override { notifications = enabled; }
    void close() override { closed = true; }

    // What the transfer sent since the last call.
    QByteArray takeSent() {
        QByteArray s = sent;
        sent.clear();
        return s;
    }
};

// Counts the window and thread messages posted to it.
class MessageCounter : public QObject {
public:
    int stops = 0;
    int activities = 0;
    int progressPosts = 0;
    qint64 lastProgress = -1;

protected:
    bool event(QEvent* e) override {
        switch (int(e->type())) {
            case MSG_THREAD_STOP:
                ++stops;
                return true;
            case MSG_THREAD_ACTIVITY:
                ++activities;
                return true;
            case MSG_TRANSFER_PROGRESS:
                ++progressPosts;
                lastProgress = static_cast<WindowMessage*>(e)->first.toLongLong();
                return true;
            default:
                return QObject::event(e);
        }
    }
};

}  // namespace kova::test
