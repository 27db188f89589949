#include "app/UiStallMeter.h"

#include <cstdio>

namespace kova {

UiStallMeter::UiStallMeter(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &UiStallMeter::onTick);
    clock_.start();
    due_ = kTickMs;
    reportAt_ = kReportMs;
    timer_.start();
}

UiStallMeter::~UiStallMeter() {
    std::fprintf(stderr, "ui-stall: worst %lld ms\n", static_cast<long long>(worst_));
}

bool UiStallMeter::wanted() {
    return qEnvironmentVariableIsSet("KOVA_UI_STALL");
}

void UiStallMeter::onTick() {
    const qint64 now = clock_.elapsed();
    const qint64 late = std::max<qint64>(0, now - due_);
    secondMax_ = std::max(secondMax_, late);
    worst_ = std::max(worst_, late);
    // The next tick is due one interval after this one fired: a stall counts once,
    // not again for every tick it swallowed.
    due_ = now + kTickMs;
    if (now >= reportAt_) {
        std::fprintf(stderr, "ui-stall: max %lld ms\n", static_cast<long long>(secondMax_));
        secondMax_ = 0;
        reportAt_ = now + kReportMs;
    }
}

}  // namespace kova
