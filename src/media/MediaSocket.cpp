#include "media/MediaSocket.h"

#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <thread>

#include "common/WindowMessages.h"
#include "media/MediaSizes.h"
#include "platform/SocketErrors.h"
#include "platform/UdpSocket.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcMedia, "kova.media", QtWarningMsg)

// Holds a busy flag for a scope. The wait sleeps while the flag is set, at most
// kBusySleeps times; after the last sleep it gives up even if the flag has just
// cleared. Every exit clears a flag it set.
class BusyGuard {
public:
    explicit BusyGuard(std::atomic<bool>& flag) : flag_(flag) {
        for (int sleeps = 0;; ++sleeps) {
            if (!flag_.exchange(true, std::memory_order_acquire)) {
                held_ = true;
                return;
            }
            if (sleeps == CMediaSocket::kBusySleeps) {
                return;
            }
            std::this_thread::sleep_for(CMediaSocket::kBusySleep);
        }
    }
    ~BusyGuard() {
        if (held_) {
            flag_.store(false, std::memory_order_release);
        }
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    explicit operator bool() const { return held_; }

private:
    std::atomic<bool>& flag_;
    bool held_ = false;
};

std::uint64_t frameCap(int deliveryMessage) {
    switch (deliveryMessage) {
        case MSG_VIDEO_DATA:
            return kMaxVideoFrameSize;
        case MSG_AUDIO_DATA:
            return kMaxAudioFrameSize;
        default:
            return std::max(kMaxVideoFrameSize, kMaxAudioFrameSize);
    }
}

}  // namespace

CMediaSocket::CMediaSocket(QString bindAddress, QObject* parent)
    : QObject(parent), bindAddress_(std::move(bindAddress)), socket_(new UdpSocket(this)) {
    connect(socket_, &UdpSocket::readNotification, this, &CMediaSocket::onReadNotification);
}

CMediaSocket::~CMediaSocket() {
    Close();
}

bool CMediaSocket::isOpen() const {
    return socket_->isOpen();
}

bool CMediaSocket::Open(QObject* target, const QString& peerAddress, int deliveryMessage,
                        std::uint64_t maxFrame, std::uint16_t port, std::size_t maxDatagram) {
    Q_ASSERT(QThread::currentThread() == thread());
    // A sender that still holds the flag after the whole wait is past any
    // bounded send; going on is safer than leaving a call without media.
    const BusyGuard sending(sendBusy_);
    if (!sending) {
        qCWarning(lcMedia) << "open while a send is still running";
    }
    active_.store(false);
    closeSocket();
    target_ = target;
    deliveryMessage_ = deliveryMessage;
    // A datagram above the socket layer's limit would only fail: fragment instead.
    framer_.setMaxDatagram(std::min(maxDatagram, UdpSocket::kMaxDatagram));
    if (maxFrame <= MediaHeader::kSize || maxFrame > frameCap(deliveryMessage)) {
        qCDebug(lcMedia) << "channel on" << port << "stays closed: frame size" << maxFrame;
        reassembler_.release();
        return false;
    }
    port_ = port;
    int error = 0;
    peerIpv4_ = UdpSocket::resolve(peerAddress, &error);
    reassembler_.reset(static_cast<std::size_t>(maxFrame));
    active_.store(true);
    error = socket_->open(port, bindAddress_);
    if (error == 0) {
        error = socket_->setBufferSizes(kReceiveBufferBytes, kSendBufferBytes);
    }
    if (error != 0) {
        qCDebug(lcMedia) << "channel on" << port << "socket error" << error;
    }
    return true;
}

void CMediaSocket::Deactivate() {
    Q_ASSERT(QThread::currentThread() == thread());
    active_.store(false);
    // Level-triggered notifications would fire again and again for datagrams
    // that are never read now.
    socket_->setReadNotifications(false);
}

void CMediaSocket::Close() {
    Q_ASSERT(QThread::currentThread() == thread());
    const BusyGuard sending(sendBusy_);
    active_.store(false);
    closeSocket();
    // A delivery in progress still reads the frame; the buffers go with the
    // next Open then.
    if (!receiveBusy_.load()) {
        reassembler_.release();
    }
}

void CMediaSocket::closeSocket() {
    socket_->close();
    peerIpv4_.reset();
}

void CMediaSocket::SendFrame(std::span<std::byte> buffer) {
    const BusyGuard sending(sendBusy_);
    if (!sending) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kSendWait;
    framer_.sendFrame(
        buffer, [this, deadline](ByteSpan datagram) { return sendDatagram(datagram, deadline); });
}

bool CMediaSocket::sendDatagram(ByteSpan datagram, std::chrono::steady_clock::time_point deadline) {
    if (!peerIpv4_) {
        return false;
    }
    for (;;) {
        const int error = socket_->sendTo(datagram, *peerIpv4_, port_);
        if (error != kWsaWouldBlock) {
            return error == 0;
        }
        // A full send buffer drains at the link's speed: wait for room rather
        // than lose the rest of the frame.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !socket_->waitWritable(static_cast<int>(left.count()))) {
            return false;
        }
    }
}

void CMediaSocket::onReadNotification() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!active_.load()) {
        socket_->setReadNotifications(false);
        return;
    }
    if (receiveBusy_.exchange(true)) {
        return;
    }
    socket_->setReadNotifications(false);
    for (int i = 0; i < kReadsPerNotification && active_.load() && socket_->isOpen(); ++i) {
        const auto r = socket_->receiveFrom(reassembler_.receiveBuffer());
        if (r.error == kWsaWouldBlock) {
            break;
        }
        if (!r.ok()) {
            continue;
        }
        lastSourceIpv4_ = r.sourceIpv4;
        if (r.sourcePort != port_) {
            continue;
        }
        const auto frame = reassembler_.take(r.size);
        if (!frame) {
            continue;
        }
        lastReceivedSequence_.store(frame->sequence);
        if (target_) {
            sendMessage(target_, deliveryMessage_,
                        QVariant::fromValue<void*>(const_cast<std::byte*>(frame->data.data())),
                        QVariant::fromValue<qulonglong>(frame->data.size()));
        }
    }
    receiveBusy_.store(false);
    if (active_.load()) {
        socket_->setReadNotifications(true);
    } else if (!socket_->isOpen()) {
        // Closed during a delivery: the buffers are no longer in use.
        reassembler_.release();
    }
}

ByteSpan CMediaSocket::deliveredFrame(const WindowMessage& message) {
    const auto* data = static_cast<const std::byte*>(message.first.value<void*>());
    const auto size = static_cast<std::size_t>(message.second.toULongLong());
    return data == nullptr ? ByteSpan{} : ByteSpan(data, size);
}

}  // namespace kova
