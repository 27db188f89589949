#include "media/MediaSocket.h"

#include <QLoggingCategory>
#include <QThread>
#include <algorithm>

#include "media/MediaSizes.h"
#include "platform/SocketErrors.h"
#include "platform/UdpSocket.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcMedia, "kova.media", QtWarningMsg)

std::uint64_t frameCap(MediaSource source) {
    return source == MediaSource::Audio ? kMaxAudioFrameSize : kMaxVideoFrameSize;
}

}  // namespace

CMediaSocket::CMediaSocket(QString bindAddress, QObject* parent)
    : QObject(parent), bindAddress_(std::move(bindAddress)), socket_(new UdpSocket(this)) {
    connect(socket_, &UdpSocket::readNotification, this, &CMediaSocket::onReadNotification);
}

CMediaSocket::~CMediaSocket() {
    {
        // A send from another thread must be out before the socket goes; it
        // stops at its next datagram, and no send outlasts kSendWait by much.
        std::unique_lock lock(sendLock_);
        changeWaiting_.store(true);
        sendDone_.wait_for(lock, 2 * kSendWait, [this] { return !sending_; });
        sending_ = true;
        hasPending_ = false;
    }
    active_.store(false);
    closeSocket();
}

bool CMediaSocket::isOpen() const {
    return socket_->isOpen();
}

bool CMediaSocket::Open(MediaFrameTarget target, const QString& peerAddress, MediaSource source,
                        std::uint64_t maxFrame, std::uint16_t port, std::size_t maxDatagram) {
    Q_ASSERT(QThread::currentThread() == thread());
    // Frames are handed over synchronously from the read notification.
    Q_ASSERT(!target.object() || target.object()->thread() == thread());
    active_.store(false);
    Setting next;
    next.target = std::move(target);
    next.source = source;
    // A datagram above the socket layer's limit would only fail: fragment instead.
    next.maxDatagram = std::min(maxDatagram, UdpSocket::kMaxDatagram);
    const bool opens = maxFrame > MediaHeader::kSize && maxFrame <= frameCap(source);
    if (opens) {
        next.maxFrame = static_cast<std::size_t>(maxFrame);
        next.port = port;
        // The peer's address is the one its control datagrams came from.
        next.peer = UdpSocket::parseDotted(peerAddress);
    } else {
        qCDebug(lcMedia) << "channel on" << port << "stays closed: frame size" << maxFrame;
    }
    change(std::move(next));
    return opens;
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
    active_.store(false);
    change(std::nullopt);
}

void CMediaSocket::change(Change next) {
    {
        std::lock_guard lock(sendLock_);
        if (sending_) {
            // The send under way applies the latest change when it returns.
            pending_ = std::move(next);
            hasPending_ = true;
            changeWaiting_.store(true);
            return;
        }
        // This change supersedes one still queued for the owning thread.
        hasPending_ = false;
        sending_ = true;
    }
    apply(next);
    {
        std::lock_guard lock(sendLock_);
        sending_ = false;
    }
}

void CMediaSocket::applyPending() {
    Change next;
    {
        std::lock_guard lock(sendLock_);
        if (!hasPending_ || sending_) {
            return;
        }
        next = std::move(pending_);
        hasPending_ = false;
    }
    changeWaiting_.store(false);
    // A send that starts meanwhile leaves it pending once more.
    change(std::move(next));
}

void CMediaSocket::apply(const Change& next) {
    Q_ASSERT(QThread::currentThread() == thread());
    closeSocket();
    if (!next) {
        replaceBuffers(0);
        return;
    }
    target_ = next->target;
    source_ = next->source;
    framer_.setMaxDatagram(next->maxDatagram);
    if (next->maxFrame == 0) {
        replaceBuffers(0);
        return;
    }
    port_ = next->port;
    peerIpv4_ = next->peer;
    replaceBuffers(next->maxFrame);
    active_.store(true);
    int error = socket_->open(port_, bindAddress_);
    if (error == 0) {
        error = socket_->setBufferSizes(kReceiveBufferBytes, kSendBufferBytes);
    }
    if (error != 0) {
        qCDebug(lcMedia) << "channel on" << port_ << "socket error" << error;
    }
}

void CMediaSocket::replaceBuffers(std::size_t maxFrame) {
    if (receiveBusy_.load()) {
        // The delivery under way still reads its frame from the old buffers.
        retired_ = std::move(reassembler_);
        reassembler_ = MediaReassembler{};
    }
    if (maxFrame == 0) {
        reassembler_.release();
    } else {
        reassembler_.reset(maxFrame);
    }
}

void CMediaSocket::closeSocket() {
    socket_->close();
    peerIpv4_.reset();
}

void CMediaSocket::SendFrame(std::span<std::byte> buffer) {
    {
        std::lock_guard lock(sendLock_);
        if (sending_ || hasPending_) {
            return;
        }
        sending_ = true;
    }
    const auto deadline = std::chrono::steady_clock::now() + kSendWait;
    framer_.sendFrame(
        buffer, [this, deadline](ByteSpan datagram) { return sendDatagram(datagram, deadline); });
    finishSend();
}

void CMediaSocket::finishSend() {
    bool changed = false;
    {
        std::lock_guard lock(sendLock_);
        sending_ = false;
        changed = hasPending_;
    }
    sendDone_.notify_all();
    if (!changed) {
        return;
    }
    if (QThread::currentThread() == thread()) {
        applyPending();
    } else {
        // Sockets and notifiers belong to the owning thread.
        QMetaObject::invokeMethod(this, &CMediaSocket::applyPending, Qt::QueuedConnection);
    }
}

bool CMediaSocket::sendDatagram(ByteSpan datagram, std::chrono::steady_clock::time_point deadline) {
    if (!peerIpv4_) {
        return false;
    }
    for (;;) {
        if (changeWaiting_.load()) {
            return false;
        }
        const int error = socket_->sendTo(datagram, *peerIpv4_, port_);
        if (error == 0) {
            bytesOut_.fetch_add(datagram.size(), std::memory_order_relaxed);
            return true;
        }
        if (error != kWsaWouldBlock) {
            return false;
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
        if (!peerIpv4_ || r.sourceIpv4 != *peerIpv4_) {
            strangers_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        if (r.sourcePort != port_) {
            continue;
        }
        bytesIn_.fetch_add(r.size, std::memory_order_relaxed);
        const auto frame = reassembler_.take(r.size);
        if (!frame) {
            continue;
        }
        // The frame lives in the reassembler's buffer, which the next datagram
        // overwrites: the sink is done with it when the call returns.
        if (IMediaFrameSink* sink = target_.sink()) {
            sink->onMediaFrame(MediaFrame{frame->sequence, source_, frame->data});
        }
    }
    receiveBusy_.store(false);
    // Changed during a delivery: the old buffers are no longer in use.
    retired_.release();
    if (active_.load()) {
        socket_->setReadNotifications(true);
    }
}

}  // namespace kova
