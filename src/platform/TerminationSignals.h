#pragma once
// SIGTERM, SIGINT and SIGHUP end the session the way a logoff does: the owner
// hears of them on its own thread, through the event loop, never inside the
// signal handler.

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/ThreadCheck.h"

class QSocketNotifier;

namespace kova {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // The last resort once the settings are safe: if the process still runs
    // after the delay (a worker that will not stop, a loop that will not end),
    // it exits with status 0 without further teardown. Only the first call
    // counts; destroying this object disarms it.
    void armDeadline(std::chrono::milliseconds delay);

signals:
    void received(int signalNumber);

private:
    ThreadCheck ownerThread_;
    QSocketNotifier* notifier_ = nullptr;
    std::thread deadline_;
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool disarm_ = false;
};

}  // namespace kova
