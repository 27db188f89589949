#pragma once
// The hidden window that gets every captured image: it draws the image in the
// local preview and, during a call, compresses and sends it, one frame in flight
// at a time (the next waits for the peer's ack or 2000 ms).

#include <cstdint>
#include <functional>
#include <vector>

#include <QObject>
#include <QPointer>

#include "media/MediaFrame.h"
#include "video/ShowWnd.h"

namespace kova {

class CVideoCodec;
class IFrameSink;
class LinkStatistics;

class CSendVideoWnd : public QObject, public IMediaFrameSink {
    Q_OBJECT
public:
    // Without an ack, the next frame goes out this long after the last one.
    static constexpr std::uint32_t kAckTimeoutMs = 2000;
    static inline const QString kNoMemory = QStringLiteral("Error allocating memory for encoder");

    using TickSource = std::function<std::uint32_t()>;
    // Shows an error box (text); by default a message box.
    using ErrorBox = std::function<void(const QString& text)>;

    explicit CSendVideoWnd(QObject* parent = nullptr, TickSource tick = {}, ErrorBox errorBox = {});
    ~CSendVideoWnd() override;

    // Called when the main window's dialog is set up: frames are handled from
    // then on, previewed in the given window (may be none).
    void Attach(CShowWnd* preview);
    void SetPreview(CShowWnd* preview) { preview_ = preview; }

    // Call start: channel and encoder of the call, frame size = capture graph's
    // FrameSize (0 without local video: nothing is sent).
    bool StartSending(IFrameSink* channel, CVideoCodec* encoder, std::uint32_t frameSize);
    // Returns at once; a frame being handled (below a nested loop) is not sent.
    void StopSending();
    // Local video restarted: the old encoder is gone. Frames of the running call
    // are not sent any more (the peer set up its decoder for the old format).
    void DetachEncoder() { encoder_ = nullptr; }

    // The peer acknowledged a frame (CTL_FRAME_ACK); also set at call start and stop.
    void OnFrameAck() { frameAck_ = true; }
    void SetFrameAck(bool set) { frameAck_ = set; }
    bool FrameAck() const { return frameAck_; }

    // Hears of each picture sent and each one held back for want of an ack.
    void SetStatistics(LinkStatistics* statistics) { statistics_ = statistics; }

    bool IsSending() const { return sending_; }
    bool IsBusy() const { return busy_; }

    // A captured image, on this object's thread; ignored until attached.
    void onMediaFrame(const MediaFrame& frame) override;

private:
    void handleFrame(ByteSpan image);

    TickSource tick_;
    ErrorBox errorBox_;
    QPointer<CShowWnd> preview_;
    bool attached_ = false;
    IFrameSink* channel_ = nullptr;
    LinkStatistics* statistics_ = nullptr;
    CVideoCodec* encoder_ = nullptr;
    bool frameAck_ = true;
    bool firstFrame_ = false;
    bool busy_ = false;
    bool sending_ = false;
    std::uint32_t lastSend_ = 0;
    std::uint32_t frameSize_ = 0;
    std::vector<std::byte> frameBuffer_;
    // The call's first image as sent: all black. Freed once sent.
    std::vector<std::byte> blackFrame_;
    // The buffer of a frame still being handled when a new call started.
    std::vector<std::byte> runningBuffer_;
    // Counts starts and stops: a frame sends only within the one it began in.
    std::uint64_t generation_ = 0;
};

}  // namespace kova
