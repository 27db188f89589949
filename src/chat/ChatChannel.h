#pragma once
// The chat port: one UDP socket on 6326 shared by every open chat window, and
// the list of those windows by peer address. A datagram goes to the window of
// the address it came from; without one it is dropped. Windows are keyed by the
// dotted text of the address (keyOf): a contact stored by host name is opened
// with the address its name resolved to, which is where its datagrams come from.

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "chat/ChatPayload.h"
#include "common/ByteIo.h"

namespace kova {

class UdpSocket;

// What the channel needs of a chat window.
class IChatWindow {
public:
    virtual ~IChatWindow() = default;
    // A message from the peer: the payload's text.
    virtual void ReceiveMessage(const std::u16string& text) = 0;
    // The peer's control channel said it closed its window.
    virtual void PeerClosed() = 0;
    // Brings the window up in front.
    virtual void ShowChat() = 0;
    // The object whose destruction ends the registration.
    virtual QObject* chatObject() = 0;
};

class CChatChannel : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kPort = chat::kPort;

    // Sends one datagram to the address; returns 0 or the socket error.
    using Transport = std::function<int(ByteSpan datagram, const QString& address)>;

    // The socket binds kPort on bindAddress (empty: every interface) when
    // first needed.
    explicit CChatChannel(QString bindAddress = {}, QObject* parent = nullptr);
    ~CChatChannel() override;

    // A dotted address in the form datagrams report their source ("127.1" is
    // "127.0.0.1"); any other text as it is.
    static QString keyOf(const QString& address);

    // Adds the window under the address, or replaces the window already there.
    // The socket is opened if it is not; the window is registered even when
    // that fails, so a peer keeps one window, and the socket is tried again at
    // the next registration or send. Returns 0 or the socket error.
    int Register(IChatWindow* window, const QString& address);
    void Unregister(const QString& address);
    // Shows the window of the address and returns true; false when none.
    bool FindAndShow(const QString& address);
    // The window of the address tells its user that the peer has gone.
    void PeerClosed(const QString& address);
    // The registered window of the address, if it still exists.
    IChatWindow* Find(const QString& address) const;
    // One datagram to kPort at the address. Failures are not reported.
    void Send(ByteSpan payload, const QString& address);

    bool isOpen() const;
    // Replaces the socket's sending (tests).
    void setTransport(Transport transport) { transport_ = std::move(transport); }

    // A datagram read from the socket, also fed directly by tests and fuzzing.
    void processDatagram(ByteSpan datagram, const QString& sourceAddress, std::uint16_t sourcePort);

private:
    struct Entry {
        QString address;
        IChatWindow* window = nullptr;
        QPointer<QObject> alive;
    };

    int ensureSocket();
    void onReadNotification(int pendingError);

    QString bindAddress_;
    UdpSocket* socket_;
    Transport transport_;
    std::vector<Entry> entries_;
    // One datagram at a time, never more than the largest chat message.
    std::array<std::byte, chat::kMaxDatagram> buffer_{};
};

}  // namespace kova
