#include "platform/RealTimeThread.h"

#include <pthread.h>
#include <sched.h>

#include <QLoggingCategory>
#include <algorithm>
#include <cstring>

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcRealTime, "kova.audio.realtime", QtWarningMsg)
}

bool raiseCurrentThreadToRealTime(int priority) {
    sched_param param{};
    param.sched_priority =
        std::clamp(priority, sched_get_priority_min(SCHED_RR), sched_get_priority_max(SCHED_RR));
    // SCHED_RESET_ON_FORK: a child the thread starts does not inherit it.
    const int rc = pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param);
    if (rc != 0) {
        qCInfo(lcRealTime) << "real-time scheduling refused:" << std::strerror(rc);
        return false;
    }
    return true;
}

}  // namespace kova
