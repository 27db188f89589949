#pragma once
// Runs one capture device: picks its format, and on a capture thread pulls each
// frame and hands it synchronously, on the target's thread, to the target window.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QObject>
#include <QPointer>
#include <QString>

#include "media/MediaFrame.h"
#include "platform/CaptureSource.h"

namespace kova {

class CCaptureGraph {
public:
    // The frame rate value announced to peers once capture is set up.
    static constexpr std::uint32_t kFrameRate = 30;
    static constexpr int kMaxPasses = 7;
    static constexpr int kStartFailed = -1;

    static inline const QString kCaption = QStringLiteral("DirectShow Capture");
    static inline const QString kNoRenderer = QStringLiteral("Could not create renderer object!");
    static inline const QString kNoCaptureFilter = QStringLiteral(
        "Make sure that a video capture device is connected.\n Could not add the capture filter "
        "to the graph. ");
    static inline const QString kNoRender = QStringLiteral(
        "Make sure that a video capture device is connected.\n Could not render the capture "
        "stream.");
    static inline const QString kNoCapture = QStringLiteral("Could not start capture");
    static inline const QString kNoRun = QStringLiteral("Could not run the DirectShow graph!");

    // Shows an error box (text, caption); the owner decides how.
    using ErrorBox = std::function<void(const QString& text, const QString& caption)>;

    explicit CCaptureGraph(ErrorBox errorBox);
    ~CCaptureGraph();
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    void SetSource(std::unique_ptr<ICaptureSource> source);
    // The window that gets every frame; none: frames are consumed without effect.
    // Set before Start; the target must outlive the running graph (Stop first).
    void SetTarget(MediaFrameTarget target);
    // Tries the requested size, then the fallbacks; leaves the last size tried.
    void SelectFormat(std::int32_t& width, std::int32_t& height);
    // 0 on success, kStartFailed after an error box.
    int Start();
    void Pause();
    void Resume();
    void Stop();

    // The format frames are delivered in; zero until started.
    BitmapInfoHeader VideoFormat() const;
    // Bytes of one delivered frame (rows padded to 4 bytes); 0 until started.
    std::uint32_t FrameSize() const;
    bool IsRunning() const { return running_; }

    // The request that follows a failed one.
    static std::pair<std::int32_t, std::int32_t> NextRequest(std::int32_t width);

    // State shared by the capture thread and pending deliveries.
    struct Shared;

private:
    void run(std::shared_ptr<Shared> shared, ICaptureSource* source);

    ErrorBox errorBox_;
    std::unique_ptr<ICaptureSource> source_;
    MediaFrameTarget target_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    mutable std::mutex formatLock_;
    BitmapInfoHeader format_;
    bool hasFormat_ = false;  // a stream was started; keeps its format after Stop
    bool streaming_ = false;
    bool running_ = false;
};

}  // namespace kova
