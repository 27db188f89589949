#include "audio/AudioPlayQueue.h"

#include <algorithm>
#include <cstring>

#include "audio/PlayoutClock.h"
#include "platform/RealTimeThread.h"
#include "platform/ThreadName.h"

namespace kova {

CAudioPlayQueue::CAudioPlayQueue(IPlayoutClock& clock) : clock_(clock) {}

CAudioPlayQueue::~CAudioPlayQueue() {
    stop();
}

void CAudioPlayQueue::configure(int periodMs, IAudioFrameWriter* owner, std::uint32_t slotCapacity,
                                std::uint32_t bytesPerSecond) {
    KOVA_ASSERT_THREAD(ownerThread_);
    Q_ASSERT(!running_);
    period_ = periodMs;
    owner_ = owner;
    capacity_ = slotCapacity;
    bytesPerSecond_ = bytesPerSecond;
    for (auto& s : slots_) {
        s.data.assign(capacity_, std::byte{0});
        s.length = 0;
        s.state = Free;
    }
    dropped_ = 0;
}

void CAudioPlayQueue::start(bool withThread) {
    KOVA_ASSERT_THREAD(ownerThread_);
    stop();
    readPos_ = -1;
    filled_ = 0;
    refilling_ = false;
    carryUs_ = 0;
    lastPlayedBytes_ = 0;
    paced_ = false;
    devicePaced_ = false;
    jitter_.reset();
    jitterMs_ = static_cast<std::uint32_t>(std::max(period_, 0));
    for (auto& s : slots_) {
        s.state = Free;
    }
    running_ = true;
    if (!withThread) {
        playoutThread_.attachToCurrent();
        return;
    }
    thread_ = createWorker([this] { run(); });
    nameThread(*thread_, "kova-playout");
    playoutThread_.attach(thread_);
    thread_->start();
}

void CAudioPlayQueue::stop() {
    KOVA_ASSERT_THREAD(ownerThread_);
    running_ = false;
    if (thread_ != nullptr) {
        // Join instead of a timed kill: the thread may be inside the owner's Write.
        clock_.wake();
        joinWorker(*thread_);
        delete thread_;
        thread_ = nullptr;
        playoutThread_.attachToCurrent();
    }
}

void CAudioPlayQueue::run() {
    // Below the sound server's own threads, above everything time-shared.
    raiseCurrentThreadToRealTime(kRealTimePriority);
    while (running_) {
        cycle();
    }
}

void CAudioPlayQueue::put(ByteSpan frame, int sequence) {
    if (sequence < 0 || sequence >= kSlots) {
        return;
    }
    const std::uint64_t mediaUs = bytesPerSecond_ == 0
                                      ? std::uint64_t(std::max(period_, 0)) * 1000
                                      : std::uint64_t{frame.size()} * 1000000u / bytesPerSecond_;
    jitter_.arrival(clock_.nowMs(), sequence,
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(mediaUs, 10000000)));
    // Until the percentile means something, the sender's buffer length is the
    // guess: its frames may come that unevenly, and starting low runs dry.
    jitterMs_ = jitter_.count() < CJitterEstimate::kMinForPercentile
                    ? std::max<std::uint32_t>(jitter_.percentile95Ms(), std::max(period_, 0))
                    : jitter_.percentile95Ms();
    int expected = -1;
    if (readPos_.compare_exchange_strong(expected, sequence)) {
        refilling_ = false;
    }
    if (filled_ >= kRefillAt) {
        refilling_ = true;
    }
    if (refilling_) {
        if (filled_ > kRefilledAt) {
            ++dropped_;
            return;
        }
        refilling_ = false;
    }
    for (int k = 0; k < kSlots; ++k) {
        Slot& s = slots_[(sequence + k) % kSlots];
        if (s.state.load() != Free) {
            continue;
        }
        seeHandOver(&s);
        s.length = static_cast<std::uint32_t>(std::min<std::size_t>(frame.size(), capacity_));
        std::memcpy(s.data.data(), frame.data(), s.length);
        s.lateMs = jitter_.lastMs();
        // Release: the consumer sees the bytes once it sees Filled.
        markHandOver(&s);
        s.state.store(Filled, std::memory_order_release);
        ++filled_;
        if (devicePaced_) {
            clock_.wake();
        }
        return;
    }
    ++dropped_;
}

std::uint32_t CAudioPlayQueue::durationMs(std::uint32_t bytes) {
    if (bytesPerSecond_ == 0 || bytes == 0) {
        return static_cast<std::uint32_t>(std::max(period_, 0));
    }
    // Microseconds carried over, so frames of 63.1 ms do not drift the pace.
    carryUs_ += std::uint64_t{bytes} * 1000000u / bytesPerSecond_;
    const std::uint64_t ms = carryUs_ / 1000;
    carryUs_ -= ms * 1000;
    return static_cast<std::uint32_t>(ms);
}

std::uint32_t CAudioPlayQueue::deviceCycle(std::uint32_t levelMs) {
    // Waiting for a missing frame costs nothing while the device has sound
    // in hand; once it runs low the next frame there is played instead.
    if (readPos_.load() != -1 && filled_.load() > 0 && play(levelMs < kGiveUpBelowMs)) {
        return 0;
    }
    if (!running_) {
        return 0;
    }
    clock_.sleepMs(kPollMs);
    return kPollMs;
}

std::uint32_t CAudioPlayQueue::cycle() {
    KOVA_ASSERT_THREAD(playoutThread_);
    if (owner_ != nullptr) {
        if (const auto level = owner_->bufferedMs()) {
            devicePaced_ = true;
            return deviceCycle(*level);
        }
    }
    const int backlog = std::max(0, filled_.load() - kCushionFrames);
    const std::uint32_t start = clock_.nowMs();
    lastPlayedBytes_ = 0;
    const bool played = playOne();
    const std::uint32_t now = clock_.nowMs();
    std::int64_t wait = 0;
    if (played) {
        // Paced by the played frame's own length, against a running deadline:
        // the sender's frames may be shorter than its buffer length (320-sample
        // blocks in 50 ms buffers), and sleeping "the rest of the cycle" would
        // add each cycle's overhead and slowly starve the device.
        if (!paced_) {
            nextDue_ = start;
            paced_ = true;
        }
        nextDue_ += durationMs(lastPlayedBytes_) - static_cast<std::uint32_t>(backlog);
        wait = static_cast<std::int32_t>(nextDue_ - now);
        if (wait < -period_) {
            nextDue_ = now;  // far behind (a stall): do not burst to catch up
            wait = 0;
        }
    } else {
        paced_ = false;
        if (filled_.load() >= kEmptyWaitFrames) {
            return 0;  // the empty wait built its cushion: play at once
        }
        wait = static_cast<std::int64_t>(period_) - static_cast<std::int32_t>(now - start);
    }
    if (wait <= 0) {
        return 0;
    }
    const auto sleep = static_cast<std::uint32_t>(std::min<std::int64_t>(wait, kMaxSleepMs));
    clock_.sleepMs(sleep);
    return sleep;
}

bool CAudioPlayQueue::playOne() {
    KOVA_ASSERT_THREAD(playoutThread_);
    if (readPos_.load() == -1 || filled_.load() == 0) {
        // Wait for a small cushion rather than play each frame the moment it lands.
        for (int i = 0; i < kEmptyChecks && running_ && filled_.load() < kEmptyWaitFrames; ++i) {
            clock_.sleepMs(kEmptyCheckMs);
        }
        return false;
    }
    return play(true);
}

bool CAudioPlayQueue::play(bool skipMissing) {
    int pos = readPos_.load();
    if (slots_[pos].state.load(std::memory_order_acquire) != Filled) {
        if (!skipMissing) {
            return false;
        }
        int found = -1;
        for (int k = 1; k <= kSlots - 2; ++k) {
            const int p = (pos + k) % kSlots;
            if (slots_[p].state.load(std::memory_order_acquire) == Filled) {
                found = p;
                break;
            }
        }
        if (found < 0) {
            return false;
        }
        pos = found;
        readPos_ = pos;
    }
    Slot& s = slots_[pos];
    seeHandOver(&s);
    s.state = Playing;
    lastPlayedBytes_ = s.length;
    playingLateMs_ = s.lateMs;
    if (owner_ != nullptr) {
        owner_->Write(ByteSpan(s.data.data(), s.length));
    }
    markHandOver(&s);
    s.state.store(Free, std::memory_order_release);
    --filled_;
    readPos_ = (pos + 1) % kSlots;
    return true;
}

}  // namespace kova
