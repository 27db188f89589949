#pragma once
// libav* return codes become one small result here, and their text reaches the
// caller's logging category here, rather than each call site testing `< 0` and
// guessing what went wrong.

#include <QLoggingCategory>

namespace kova {

enum class AvResult {
    Ok,
    Again,  // needs more input (or output taken) first: not a failure
    End,    // the codec is drained
    NoMemory,
    BadData,      // a damaged or hostile packet
    Unsupported,  // the codec or the parameters are not on offer
    Failed,       // anything else
};

// Maps code (>= 0 is success, as every av_* call reports it) and, for a
// failure, logs "<call>: <av_strerror text>" at debug level: a peer's damaged
// frames must not reach the terminal unless asked for.
AvResult avResult(int code, const QLoggingCategory& category, const char* call);

inline bool avOk(int code, const QLoggingCategory& category, const char* call) {
    return avResult(code, category, call) == AvResult::Ok;
}

}  // namespace kova
