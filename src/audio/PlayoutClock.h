#pragma once
// Millisecond ticks and sleeps for the playout thread. Injected so that pacing
// is tested in simulated time.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kova {

class IPlayoutClock {
public:
    virtual ~IPlayoutClock() = default;
    virtual std::uint32_t nowMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    // Ends a sleep early (used when the queue stops).
    virtual void wake() {}
};

class SteadyPlayoutClock final : public IPlayoutClock {
public:
    std::uint32_t nowMs() override;
    void sleepMs(std::uint32_t ms) override;
    void wake() override;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    // Guarded by mutex_, and atomic as well: ThreadSanitizer does not order
    // wake() before the timed wait's return here, though both hold the mutex.
    std::atomic<bool> woken_{false};
};

}  // namespace kova
