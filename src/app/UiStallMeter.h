#pragma once
// How long the UI thread keeps its event loop waiting, for benchmarks: a 10 ms
// precise timer notes how late each tick fires. Each second one line
// "ui-stall: max <n> ms" goes to stderr, and "ui-stall: worst <n> ms" at the end.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace kova {

class UiStallMeter : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 10;
    static constexpr int kReportMs = 1000;

    explicit UiStallMeter(QObject* parent = nullptr);
    ~UiStallMeter() override;

    // Set in the environment: the meter runs (KOVA_UI_STALL).
    static bool wanted();

private:
    void onTick();

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 due_ = 0;  // when the next tick should fire, ms on clock_
    qint64 reportAt_ = 0;
    qint64 secondMax_ = 0;
    qint64 worst_ = 0;
};

}  // namespace kova
