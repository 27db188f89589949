#include "chat/ChatChannel.h"

#include <QLoggingCategory>
#include <algorithm>

#include "contacts/ContactEntry.h"
#include "platform/UdpSocket.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcChat, "kova.chat", QtWarningMsg)
}

CChatChannel::CChatChannel(QString bindAddress, QObject* parent)
    : QObject(parent), bindAddress_(std::move(bindAddress)), socket_(new UdpSocket(this)) {
    connect(socket_, &UdpSocket::readNotification, this, &CChatChannel::onReadNotification);
}

CChatChannel::~CChatChannel() = default;

QString CChatChannel::keyOf(const QString& address) {
    const std::uint32_t key = contactKey(address);
    return key == kInaddrNone ? address : keyText(key);
}

bool CChatChannel::isOpen() const {
    return socket_->isOpen();
}

int CChatChannel::ensureSocket() {
    if (socket_->isOpen()) {
        return 0;
    }
    const int error = socket_->open(kPort, bindAddress_);
    if (error != 0) {
        qCDebug(lcChat) << "chat socket not opened:" << error;
    }
    return error;
}

int CChatChannel::Register(IChatWindow* window, const QString& peerAddress) {
    const int error = ensureSocket();
    const QString address = keyOf(peerAddress);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.address == address; });
    if (it != entries_.end()) {
        it->window = window;
        it->alive = window->chatObject();
    } else {
        entries_.push_back({address, window, window->chatObject()});
    }
    return error;
}

void CChatChannel::Unregister(const QString& peerAddress) {
    const QString address = keyOf(peerAddress);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.address == address; });
    if (it != entries_.end()) {
        entries_.erase(it);
    }
}

IChatWindow* CChatChannel::Find(const QString& peerAddress) const {
    const QString address = keyOf(peerAddress);
    for (const Entry& e : entries_) {
        if (e.address == address && e.alive) {
            return e.window;
        }
    }
    return nullptr;
}

bool CChatChannel::FindAndShow(const QString& address) {
    IChatWindow* window = Find(address);
    if (window == nullptr) {
        return false;
    }
    window->ShowChat();
    return true;
}

void CChatChannel::PeerClosed(const QString& address) {
    if (IChatWindow* window = Find(address)) {
        window->PeerClosed();
    }
}

void CChatChannel::Send(ByteSpan payload, const QString& address) {
    if (address.isEmpty()) {
        return;
    }
    if (transport_) {
        transport_(payload, address);
        return;
    }
    if (ensureSocket() != 0) {
        return;
    }
    const int error = socket_->sendTo(payload, keyOf(address), kPort);
    if (error != 0) {
        qCDebug(lcChat) << "chat datagram to" << address << "lost:" << error;
    }
}

void CChatChannel::onReadNotification(int) {
    // A datagram longer than the buffer is consumed and fails like any read
    // error, so it is dropped here too.
    const UdpSocket::Received r = socket_->receiveFrom(buffer_);
    if (!r.ok()) {
        return;
    }
    processDatagram(ByteSpan(buffer_).first(r.size), UdpSocket::dottedText(r.sourceIpv4),
                    r.sourcePort);
}

void CChatChannel::processDatagram(ByteSpan datagram, const QString& sourceAddress,
                                   std::uint16_t sourcePort) {
    if (sourcePort != kPort || datagram.size() < chat::kMinDatagram ||
        datagram.size() > chat::kMaxDatagram) {
        return;
    }
    IChatWindow* window = Find(sourceAddress);
    if (window == nullptr) {
        return;
    }
    qCInfo(lcChat) << "message from" << sourceAddress << "of" << datagram.size() << "bytes";
    window->ReceiveMessage(chat::decodePayload(datagram));
}

}  // namespace kova
