#include "video/SendVideoWnd.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <utility>

#include "media/FrameSink.h"
#include "media/LinkStatistics.h"
#include "video/VideoCodec.h"

namespace kova {

namespace {

std::uint32_t monotonicTick() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(clock.elapsed());
}

}  // namespace

CSendVideoWnd::CSendVideoWnd(QObject* parent, TickSource tick, ErrorBox errorBox)
    : QObject(parent), tick_(std::move(tick)), errorBox_(std::move(errorBox)) {
    if (!tick_) {
        tick_ = monotonicTick;
    }
    if (!errorBox_) {
        errorBox_ = [](const QString& text) { QMessageBox::warning(nullptr, QString(), text); };
    }
}

CSendVideoWnd::~CSendVideoWnd() {
    sending_ = false;
}

void CSendVideoWnd::Attach(CShowWnd* preview) {
    preview_ = preview;
    attached_ = true;
}

bool CSendVideoWnd::StartSending(IFrameSink* channel, CVideoCodec* encoder,
                                 std::uint32_t frameSize) {
    if (!channel || frameSize == 0) {
        StopSending();
        return true;
    }
    if (busy_) {
        // A frame of the last call is still being handled below a nested loop:
        // it keeps its buffer and is not sent (see handleFrame).
        runningBuffer_ = std::move(frameBuffer_);
    }
    ++generation_;
    try {
        frameBuffer_.assign(static_cast<std::size_t>(frameSize) + IFrameSink::kHeaderRoom,
                            std::byte{0});
        blackFrame_.assign(frameSize, std::byte{0});
    } catch (const std::bad_alloc&) {
        frameBuffer_.clear();
        blackFrame_.clear();
        // Nothing may be encoded into the missing buffer.
        sending_ = false;
        errorBox_(kNoMemory);
        return false;
    }
    channel_ = channel;
    encoder_ = encoder;
    frameSize_ = frameSize;
    firstFrame_ = true;
    sending_ = true;
    frameAck_ = true;
    return true;
}

void CSendVideoWnd::StopSending() {
    // Frames are handled on this thread, so a busy flag here means StopSending
    // came from a nested loop below handleFrame: waiting could never see it
    // clear. The new generation tells that frame not to send.
    ++generation_;
    sending_ = false;
    frameAck_ = true;
}

void CSendVideoWnd::onMediaFrame(const MediaFrame& frame) {
    if (attached_) {
        handleFrame(frame.bytes);
    }
}

void CSendVideoWnd::handleFrame(ByteSpan image) {
    // Frames arrive synchronously on this window's thread only.
    Q_ASSERT(QThread::currentThread() == thread());
    const std::uint32_t now = tick_();
    if (now - lastSend_ > kAckTimeoutMs) {
        frameAck_ = true;
    }
    if (busy_ || !frameAck_ || image.empty()) {
        if (sending_ && !busy_ && !frameAck_ && statistics_ != nullptr) {
            statistics_->pictureHeldBack();
        }
        return;
    }
    // While sending, the next image waits for the peer; otherwise the preview
    // runs at capture rate.
    frameAck_ = !sending_;
    lastSend_ = now;
    busy_ = true;
    const std::uint64_t generation = generation_;
    if (preview_) {
        preview_->Draw(image);
    }
    if (sending_) {
        // The frame must be the one the call was set up for: anything else
        // would be read past its end.
        const bool fits = image.size() >= frameSize_;
        // Held here: a restart of the call from a nested loop replaces the member.
        std::vector<std::byte> black;
        if (firstFrame_ && fits) {
            // The peer's first picture is black; the preview above was not.
            black = std::exchange(blackFrame_, {});
            firstFrame_ = false;
        }
        const ByteSpan picture = black.empty() ? image.first(fits ? frameSize_ : 0) : black;
        std::size_t compressed = 0;
        MutableByteSpan out(frameBuffer_.data() + IFrameSink::kHeaderRoom, frameSize_);
        if (fits && encoder_ && channel_ && encoder_->Compress(false, picture, out, compressed) &&
            generation == generation_) {
            if (statistics_ != nullptr) {
                statistics_->pictureSent();
            }
            channel_->SendFrame(
                MutableByteSpan(frameBuffer_.data(), compressed + IFrameSink::kHeaderRoom));
        }
    }
    busy_ = false;
    runningBuffer_ = {};
}

}  // namespace kova
