#pragma once
// The small always-on-top picture beside the taskbar while an outgoing call
// waits for an answer: a bar grows over the wait, and the owner hears
// MSG_CALL_TIMEOUT once when the wait is over. Without progress (during a
// conference's teardown) it only shows the picture and never notifies.

#include <QPointer>
#include <atomic>

#include "signalling/WaitIndicator.h"
#include "ui/SplashWnd.h"

class QThread;

namespace kova {

class CWaitPopup : public CSplashWnd, public IWaitIndicator {
    Q_OBJECT
public:
    static constexpr int kPicture = 167;
    static constexpr int kBarPicture = 166;
    static constexpr quint32 kColourKey = 0xFFFFFF;
    static constexpr int kBarLength = 120;  // pixels at the end of the wait
    static constexpr int kTickMs = 40;
    static constexpr QPoint kBarOrigin{39, 12};
    static constexpr int kBarHeight = 6;
    // Columns left of this vanish when there is no bar.
    static constexpr int kBarAreaWidth = 161;

    CWaitPopup();
    ~CWaitPopup() override;

    void SetProgress(int barPictureId, int durationMs, QObject* owner);
    void ClearProgress();
    // Places the popup beside the taskbar, shows it and starts the wait.
    void Create();
    void Close() override;
    void dismiss() override { Close(); }

    int progress() const { return progress_.load(); }
    bool stopped() const { return stop_.load(); }

    static int progressFor(qint64 elapsedMs, int durationMs) {
        return durationMs <= 0 ? kBarLength : static_cast<int>(elapsedMs * kBarLength / durationMs);
    }

signals:
    void progressChanged(int pixels);

protected:
    void Paint(QPainter& painter) override;

private:
    void runProgress();
    void finishWait();
    void stopThread();

    int durationMs_ = 30000;
    std::atomic<int> progress_{0};
    std::atomic<bool> stop_{false};
    QPixmap bar_;
    bool showProgress_ = true;
    QThread* thread_ = nullptr;
    QPointer<QObject> owner_;
};

// The conference controller's waits as popups; owner hears MSG_CALL_TIMEOUT
// and owns this.
class CWaitPopups : public QObject, public IWaitIndicators {
public:
    explicit CWaitPopups(QObject* owner) : QObject(owner) {}
    std::unique_ptr<IWaitIndicator> showWait(int durationMs) override;
    std::unique_ptr<IWaitIndicator> showTeardown(int durationMs) override;
};

}  // namespace kova
