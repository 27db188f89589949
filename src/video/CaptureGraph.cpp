#include "video/CaptureGraph.h"

#include "common/ThreadCheck.h"
#include "platform/ThreadName.h"
#include "platform/VideoLog.h"

namespace kova {

// Hand-off between the capture thread and the target's thread.
//
// The frame goes to the target's sink synchronously, as the sink expects, but
// the capture thread does not block in a queued call it cannot leave: it posts
// the delivery and waits on this condition for "delivered" or "stop". So Stop()
// on the target's own thread, even from inside the sink, never waits on itself.
// The frame's buffer is owned by the pending delivery as much as by the capture
// thread and outlives the capture thread if it leaves early; a delivery that
// starts after a stop is skipped.
struct CCaptureGraph::Shared {
    std::mutex mutex;
    std::condition_variable cv;
    bool stop = false;
    bool paused = false;
    MediaFrameTarget target;
};

namespace {

struct Delivery {
    std::shared_ptr<std::vector<std::byte>> frame;
    bool done = false;
};

// Marks the delivery done when the queued call has run, or when Qt drops it
// because the target went away.
struct Completion {
    std::shared_ptr<Delivery> delivery;
    std::shared_ptr<CCaptureGraph::Shared> shared;
    ~Completion();
};

// A device that fails without blocking must not spin the capture thread.
constexpr auto kRetryAfterFailure = std::chrono::milliseconds(100);
// Far beyond any camera; a device reporting more is not believed.
constexpr std::uint64_t kMaxFrameBytes = 64u * 1024 * 1024;

}  // namespace

Completion::~Completion() {
    {
        std::lock_guard lock(shared->mutex);
        delivery->done = true;
    }
    shared->cv.notify_all();
}

CCaptureGraph::CCaptureGraph(ErrorBox errorBox) : errorBox_(std::move(errorBox)) {}

CCaptureGraph::~CCaptureGraph() {
    Stop();
}

void CCaptureGraph::SetSource(std::unique_ptr<ICaptureSource> source) {
    source_ = std::move(source);
}

void CCaptureGraph::SetTarget(MediaFrameTarget target) {
    target_ = std::move(target);
}

std::pair<std::int32_t, std::int32_t> CCaptureGraph::NextRequest(std::int32_t width) {
    switch (width) {
        case 352:
            return {320, 240};
        case 320:
            return {176, 144};
        case 176:
            return {160, 120};
        default:
            return {352, 288};
    }
}

void CCaptureGraph::SelectFormat(std::int32_t& width, std::int32_t& height) {
    const std::vector<BitmapInfoHeader> offered =
        source_ ? source_->formats() : std::vector<BitmapInfoHeader>{};
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (pass > 0) {
            std::tie(width, height) = NextRequest(width);
        }
        for (const BitmapInfoHeader& f : offered) {
            if (f.width == width && f.height == height && f.bitCount == 24 && f.compression == 0) {
                source_->setFormat(f);
                return;
            }
        }
    }
}

int CCaptureGraph::Start() {
    Stop();
    if (!source_ || !source_->open()) {
        qCDebug(lcVideo) << "capture device did not open";
        errorBox_(kNoCaptureFilter, kCaption);
        source_.reset();
        errorBox_(kNoCapture, kCaption);
        return kStartFailed;
    }
    if (!source_->startStream()) {
        qCDebug(lcVideo) << "capture stream did not start in" << source_->format().width << "x"
                         << source_->format().height;
        errorBox_(kNoRender, kCaption);
        source_.reset();
        errorBox_(kNoCapture, kCaption);
        return kStartFailed;
    }
    streaming_ = true;
    const BitmapInfoHeader format = source_->format();
    if (dibFrameSizeOf(format) == 0 || dibFrameSizeOf(format) > kMaxFrameBytes) {
        Stop();
        errorBox_(kNoRenderer, kCaption);
        return kStartFailed;
    }
    {
        std::lock_guard lock(formatLock_);
        format_ = format;
        hasFormat_ = true;
    }
    shared_ = std::make_shared<Shared>();
    shared_->target = target_;
    source_->resume();
    try {
        thread_ = std::thread(&CCaptureGraph::run, this, shared_, source_.get());
    } catch (const std::system_error&) {
        Stop();
        errorBox_(kNoRun, kCaption);
        return kStartFailed;
    }
    running_ = true;
    return 0;
}

void CCaptureGraph::run(std::shared_ptr<Shared> shared, ICaptureSource* source) {
    nameCurrentThread("kova-capture");
    const auto size = static_cast<std::size_t>(dibFrameSizeOf(source->format()));
    auto frame = std::make_shared<std::vector<std::byte>>(size);
    std::uint8_t count = 0;
    std::unique_lock lock(shared->mutex);
    while (!shared->stop) {
        if (shared->paused) {
            shared->cv.wait(lock, [&] { return shared->stop || !shared->paused; });
            continue;
        }
        lock.unlock();
        const bool grabbed = source->grab(*frame);
        lock.lock();
        if (shared->stop) {
            break;
        }
        if (!grabbed) {
            shared->cv.wait_for(lock, kRetryAfterFailure, [&] { return shared->stop; });
            continue;
        }
        QObject* target = shared->target.object();
        if (!target) {
            continue;
        }
        const std::uint8_t sequence = count++;
        auto delivery = std::make_shared<Delivery>();
        delivery->frame = frame;
        // Built in place: a temporary's destructor would signal, and lock, here.
        auto completion = std::make_shared<Completion>();
        completion->delivery = delivery;
        completion->shared = shared;
        lock.unlock();
        // Queued: the frame is handled on the target's thread; see Shared.
        invokeQueued(target, [completion, sequence] {
            IMediaFrameSink* sink = nullptr;
            {
                std::lock_guard guard(completion->shared->mutex);
                if (completion->shared->stop) {
                    return;
                }
                sink = completion->shared->target.sink();
            }
            if (sink != nullptr) {
                sink->onMediaFrame(
                    MediaFrame{sequence, MediaSource::Camera, *completion->delivery->frame});
            }
        });
        completion.reset();
        lock.lock();
        shared->cv.wait(lock, [&] { return shared->stop || delivery->done; });
        if (!delivery->done) {
            // Stopped while the target may still hold this buffer: never reuse it.
            break;
        }
    }
}

void CCaptureGraph::Pause() {
    if (shared_) {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->paused = true;
        }
        shared_->cv.notify_all();
    }
    running_ = false;
}

void CCaptureGraph::Resume() {
    if (shared_) {
        if (source_) {
            source_->resume();
        }
        {
            std::lock_guard lock(shared_->mutex);
            shared_->paused = false;
        }
        shared_->cv.notify_all();
        running_ = true;
    }
}

void CCaptureGraph::Stop() {
    running_ = false;
    if (shared_) {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->stop = true;
        }
        shared_->cv.notify_all();
        if (source_) {
            source_->interrupt();
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        shared_.reset();
    }
    if (source_ && streaming_) {
        source_->stopStream();
    }
    streaming_ = false;
}

BitmapInfoHeader CCaptureGraph::VideoFormat() const {
    std::lock_guard lock(formatLock_);
    return format_;
}

std::uint32_t CCaptureGraph::FrameSize() const {
    std::lock_guard lock(formatLock_);
    return hasFormat_ ? static_cast<std::uint32_t>(dibFrameSizeOf(format_)) : 0;
}

}  // namespace kova
