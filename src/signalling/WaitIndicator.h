#pragma once
// The picture beside the taskbar that the conference controller shows while a
// call waits for its answer and while a conference is torn down. The
// controller owns each one it shows; the main window provides them.

#include <memory>

namespace kova {

class IWaitIndicator {
public:
    virtual ~IWaitIndicator() = default;
    virtual void dismiss() = 0;
};

class IWaitIndicators {
public:
    virtual ~IWaitIndicators() = default;
    // A call's wait: a bar that grows over durationMs, then MSG_CALL_TIMEOUT to
    // the main window, once.
    virtual std::unique_ptr<IWaitIndicator> showWait(int durationMs) = 0;
    // The teardown's picture, without a bar; it never times out.
    virtual std::unique_ptr<IWaitIndicator> showTeardown(int durationMs) = 0;
};

}  // namespace kova
