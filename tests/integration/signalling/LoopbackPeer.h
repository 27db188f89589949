#pragma once
// Test helpers for real sockets on the loopback network: a peer that records the
// datagrams it receives, a bind that waits while another test holds the port,
// and a watcher that reads and answers the message dialogs as they open.

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <vector>

#include "platform/UdpSocket.h"
#include "signalling/DlgMessage.h"

namespace kova::test {

// The control port is fixed, so tests running side by side take turns on it.
template <typename Open>
bool bindWhenFree(Open open, int waitMs = 60000) {
    QDeadlineTimer deadline(waitMs);
    while (true) {
        const int error = open();
        if (error == 0) {
            return true;
        }
        if (error != 10048 || deadline.hasExpired()) {
            ADD_FAILURE() << "bind failed with " << error;
            return false;
        }
        QTest::qWait(50);
    }
}

class LoopbackPeer {
public:
    LoopbackPeer(const QString& address, std::uint16_t port) {
        ok = bindWhenFree([&] { return socket.open(port, address); });
        QObject::connect(&socket, &UdpSocket::readNotification, &socket, [this](int) {
            std::vector<std::byte> buffer(UdpSocket::kMaxDatagram);
            const auto r = socket.receiveFrom(buffer);
            if (r.ok()) {
                buffer.resize(r.size);
                received.push_back(std::move(buffer));
            }
        });
    }
    void send(ByteSpan datagram) { ASSERT_EQ(socket.sendTo(datagram, "127.0.0.1", 6321), 0); }
    bool waitFor(std::size_t count, int ms = 5000) {
        return QTest::qWaitFor([&] { return received.size() >= count; }, ms);
    }
    int command(std::size_t i) const { return std::to_integer<int>(received.at(i).at(0)); }

    UdpSocket socket;
    std::vector<std::vector<std::byte>> received;
    bool ok = false;
};

class DialogWatcher {
public:
    enum class Answer { Accept, Reject, Leave };
    struct Seen {
        QString title;
        QString text;
        bool question = false;
    };

    DialogWatcher() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }

    Answer questions = Answer::Leave;
    std::vector<Seen> seen;

    bool waitFor(std::size_t count, int ms = 5000) {
        return QTest::qWaitFor([&] { return seen.size() >= count; }, ms);
    }

private:
    void look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<CDlgMessage*>(w);
            if (dlg == nullptr || !dlg->isVisible() || dlg->property("watched").toBool()) {
                continue;
            }
            dlg->setProperty("watched", true);
            Seen s;
            s.title = dlg->windowTitle();
            QAbstractButton* accept = nullptr;
            QAbstractButton* reject = nullptr;
            for (auto* b : dlg->findChildren<QAbstractButton*>()) {
                if (b->isVisible() && b->text() == "Accept") {
                    accept = b;
                } else if (b->isVisible() && b->text() == "Reject") {
                    reject = b;
                }
            }
            for (auto* l : dlg->findChildren<QLabel*>()) {
                if (!l->text().isEmpty()) {
                    s.text = l->text();
                }
            }
            s.question = accept != nullptr;
            seen.push_back(s);
            if (s.question && questions == Answer::Accept) {
                accept->click();
            } else if (s.question && questions == Answer::Reject) {
                reject->click();
            }
        }
    }

    QTimer timer_;
};

}  // namespace kova::test
