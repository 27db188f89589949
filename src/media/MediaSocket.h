#pragma once
// One media stream of a call (video on 6323, audio on 6324): a UDP socket bound
// to the stream's port that sends frames to the same port at the peer, and
// hands every complete frame it receives synchronously to the target window.
// Created once with the main window and reused for every call.
//
// Threads. Receiving, Open, Deactivate and Close run on the thread that owns
// the object (the UI thread, where the socket notifications arrive). SendFrame
// may come from one other thread at a time (audio capture sends from its own
// thread while the UI thread receives). Two std::atomic busy flags keep this
// safe without a lock:
//  - send busy guards everything a send touches (socket, peer, port, framer).
//    SendFrame takes it with the bounded busy wait and drops the frame when it
//    cannot; Open and Close take it too before they change the socket, so a
//    send never runs on a socket being closed. A send holds the flag for at
//    most kSendWait plus the system calls, well inside the wait's 1 s.
//  - receive busy keeps receives from overlapping. Only the owning thread
//    receives, so a set flag means re-entry from a nested event loop; sleeping
//    would only freeze that thread, so such a read returns at once and the
//    datagram stays queued. Read notifications are paused while a frame is
//    being delivered and while the channel is inactive, so a level-triggered
//    notifier never spins.

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"
#include "media/FrameSink.h"
#include "media/MediaFramer.h"
#include "media/MediaReassembler.h"

namespace kova {

class UdpSocket;
class WindowMessage;

class CMediaSocket : public QObject, public IFrameSink {
    Q_OBJECT
public:
    static constexpr std::uint16_t kVideoPort = 6323;
    static constexpr std::uint16_t kAudioPort = 6324;
    // Busy wait: at most 100 sleeps of 10 ms.
    static constexpr int kBusySleeps = 100;
    static constexpr std::chrono::milliseconds kBusySleep{10};
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
    // peer, delivered to target with deliveryMessage; sends to peerAddress at
    // port in datagrams of at most maxDatagram bytes (cut to what the socket
    // layer can send). A channel that was open is closed first. maxFrame of 4
    // or less, or above the stream's cap (kMaxVideoFrameSize for
    // MSG_VIDEO_DATA, kMaxAudioFrameSize for MSG_AUDIO_DATA, the larger
    // otherwise), leaves the channel closed. Returns whether the channel is
    // active; a port that cannot be bound is not reported (the channel then
    // neither sends nor receives).
    bool Open(QObject* target, const QString& peerAddress, int deliveryMessage,
              std::uint64_t maxFrame, std::uint16_t port, std::size_t maxDatagram);
    // Stops delivering: datagrams that arrive are no longer read.
    void Deactivate();
    // Closes the socket and frees the buffers (end of a call).
    void Close();

    // buffer = 4 reserved bytes + the frame. Silent on any failure.
    void SendFrame(std::span<std::byte> buffer) override;

    // Sequence value (0..9) of the frame being delivered.
    std::uint8_t lastReceivedSequence() const { return lastReceivedSequence_.load(); }
    bool isActive() const { return active_.load(); }
    bool isOpen() const;
    // Sender of the last datagram read (host order); stored, never compared.
    std::uint32_t lastSourceIpv4() const { return lastSourceIpv4_; }
    std::size_t maxFrame() const { return reassembler_.maxFrame(); }
    std::size_t maxDatagram() const { return framer_.maxDatagram(); }

    // The frame a delivery message carries (first argument its address, second
    // its length). It belongs to the channel and is valid only while the
    // message is being handled.
    static ByteSpan deliveredFrame(const WindowMessage& message);

private:
    void onReadNotification();
    void closeSocket();
    bool sendDatagram(ByteSpan datagram, std::chrono::steady_clock::time_point deadline);

    const QString bindAddress_;
    UdpSocket* socket_;

    // Owning thread only.
    QPointer<QObject> target_;
    int deliveryMessage_ = 0;
    MediaReassembler reassembler_;
    std::uint32_t lastSourceIpv4_ = 0;
    std::atomic<bool> active_{false};
    std::atomic<std::uint8_t> lastReceivedSequence_{0};
    std::atomic<bool> receiveBusy_{false};

    // Under sendBusy_ (port_ is also read by the owning thread, its only writer).
    std::atomic<bool> sendBusy_{false};
    MediaFramer framer_;
    std::optional<std::uint32_t> peerIpv4_;
    std::uint16_t port_ = 0;
};

}  // namespace kova
