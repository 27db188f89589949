#pragma once
// One media stream of a call (video on 6323, audio on 6324): a UDP socket bound
// to the stream's port that sends frames to the same port at the peer, and
// hands every complete frame it receives synchronously to its sink (the
// receiving window), which is done with the bytes when the call returns.
// Created once with the main window and reused for every call.
//
// Only the peer is heard: while the channel is open, datagrams from any other
// address are read and dropped (and counted), so a stranger can neither inject
// frames into the call nor stall it by keeping the queue full.
//
// Threads. Receiving, Open, Deactivate and Close run on the thread that owns
// the object (the UI thread, where the socket notifications arrive). SendFrame
// may come from one other thread at a time (audio capture sends from its own
// thread while the UI thread receives). Nobody sleeps or waits for a flag:
//  - a send holds the send lock's busy mark for its whole frame. A second send
//    while one runs is dropped (re-entry, or a producer faster than the link).
//  - Open and Close replace the socket and what a send reads (peer, port,
//    framer). When a send is under way they do not wait for it: the change is
//    left pending, the send stops at its next datagram and applies the change
//    as it returns (posted to the owning thread when it runs elsewhere), so a
//    socket is never closed under a sender. Sends are dropped while a change
//    is pending.
//  - receive busy keeps receives from overlapping. Only the owning thread
//    receives, so a set flag means re-entry from a nested event loop; such a
//    read returns at once and the datagram stays queued. Read notifications
//    are paused while a frame is being delivered and while the channel is
//    inactive, so a level-triggered notifier never spins. A change during a
//    delivery keeps the old buffers until the delivery returns.

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "common/ByteIo.h"
#include "media/FrameSink.h"
#include "media/MediaFrame.h"
#include "media/MediaFramer.h"
#include "media/MediaReassembler.h"

namespace kova {

class UdpSocket;

class CMediaSocket : public QObject, public IFrameSink {
    Q_OBJECT
public:
    static constexpr std::uint16_t kVideoPort = 6323;
    static constexpr std::uint16_t kAudioPort = 6324;
    // Longest a frame's send waits for room in the socket's send buffer before
    // the rest of the frame is abandoned.
    static constexpr std::chrono::milliseconds kSendWait{500};
    // Kernel buffers asked for: every fragment of a large frame must fit while
    // the UI thread is busy decoding the previous one.
    static constexpr int kReceiveBufferBytes = 4 << 20;
    static constexpr int kSendBufferBytes = 4 << 20;
    // Datagrams read per notification before the event loop runs again.
    static constexpr int kReadsPerNotification = 32;

    // bindAddress: local address to bind (empty: every interface).
    explicit CMediaSocket(QString bindAddress = {}, QObject* parent = nullptr);
    ~CMediaSocket() override;

    // Starts the channel for a call: frames of at most maxFrame bytes from the
    // peer, delivered to target (an object of this thread) as frames of the
    // given source; sends to peerAddress (a dotted address: no name is looked
    // up here) at port in datagrams of at most maxDatagram bytes (cut to what
    // the socket layer can send), and hears only that address. A channel that
    // was open is closed first. maxFrame of 4 or less, or above the stream's
    // cap (kMaxAudioFrameSize for Audio, kMaxVideoFrameSize otherwise), leaves
    // the channel closed. Returns whether the channel is active (or will be,
    // once a send under way returns); a port that cannot be bound is not
    // reported (the channel then neither sends nor receives).
    bool Open(MediaFrameTarget target, const QString& peerAddress, MediaSource source,
              std::uint64_t maxFrame, std::uint16_t port, std::size_t maxDatagram);
    // Stops delivering: datagrams that arrive are no longer read.
    void Deactivate();
    // Closes the socket and frees the buffers (end of a call).
    void Close();

    // buffer = 4 reserved bytes + the frame. Silent on any failure.
    void SendFrame(std::span<std::byte> buffer) override;

    bool isActive() const { return active_.load(); }
    bool isOpen() const;
    // Sender of the last datagram read (host order), whoever it was.
    std::uint32_t lastSourceIpv4() const { return lastSourceIpv4_; }
    // Datagrams read and dropped because they came from another address than
    // the peer's (any thread).
    std::uint64_t strangerDatagrams() const { return strangers_.load(std::memory_order_relaxed); }
    // Datagram bytes read from the peer and sent to it (any thread).
    std::uint64_t bytesReceived() const { return bytesIn_.load(std::memory_order_relaxed); }
    std::uint64_t bytesSent() const { return bytesOut_.load(std::memory_order_relaxed); }
    std::size_t maxFrame() const { return reassembler_.maxFrame(); }
    std::size_t maxDatagram() const { return framer_.maxDatagram(); }

private:
    // What Open asks for; maxFrame 0 leaves the channel closed.
    struct Setting {
        MediaFrameTarget target;
        MediaSource source = MediaSource::Video;
        std::size_t maxDatagram = 0;
        std::size_t maxFrame = 0;
        std::optional<std::uint32_t> peer;
        std::uint16_t port = 0;
    };
    // An empty change closes the channel.
    using Change = std::optional<Setting>;

    void onReadNotification();
    void change(Change next);
    void applyPending();
    void apply(const Change& next);
    void closeSocket();
    void replaceBuffers(std::size_t maxFrame);
    void finishSend();
    bool sendDatagram(ByteSpan datagram, std::chrono::steady_clock::time_point deadline);

    const QString bindAddress_;
    UdpSocket* socket_;

    // Owning thread only.
    MediaFrameTarget target_;
    MediaSource source_ = MediaSource::Video;
    MediaReassembler reassembler_;
    // The buffers of a delivery under way when the channel changed.
    MediaReassembler retired_;
    std::uint32_t lastSourceIpv4_ = 0;
    std::atomic<bool> active_{false};
    std::atomic<bool> receiveBusy_{false};
    std::atomic<std::uint64_t> strangers_{0};
    std::atomic<std::uint64_t> bytesIn_{0};
    std::atomic<std::uint64_t> bytesOut_{0};

    std::mutex sendLock_;
    std::condition_variable sendDone_;
    // Under sendLock_: a send (or a change) is running; a change waits for it.
    bool sending_ = false;
    bool hasPending_ = false;
    Change pending_;
    // Set while a change waits, so a long send gives up at its next datagram.
    std::atomic<bool> changeWaiting_{false};

    // Written only by the owning thread while it holds sending_; read by a
    // send, and by the owning thread at any time.
    MediaFramer framer_;
    std::optional<std::uint32_t> peerIpv4_;
    std::uint16_t port_ = 0;
};

}  // namespace kova
