#include "common/TimingLog.h"

namespace kova {

Q_LOGGING_CATEGORY(lcTiming, "kova.timing", QtWarningMsg)

}  // namespace kova
