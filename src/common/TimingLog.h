#pragma once
// Per-picture timing for measurements across processes: off unless the
// category "kova.timing" is enabled. Times are microseconds of the monotonic
// clock, which all processes of one machine share.

#include <QLoggingCategory>
#include <chrono>
#include <cstdint>

namespace kova {

Q_DECLARE_LOGGING_CATEGORY(lcTiming)

inline std::int64_t monotonicMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kova
