#pragma once
// The presence poll: every 10 s each contact (at most 30) is asked whether it is
// free. The contacts silent for too long are marked on the UI thread first; a
// short-lived worker then resolves the addresses and sends the queries, so a
// slow name service never holds up the window.

#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>

namespace kova {

class PresencePoll : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 10000;
    static constexpr int kMaxContacts = 30;

    // pollStep(i): contact i's address after its offline check, or nothing when
    // there is no contact i. query(address): sends the presence query; called on
    // the worker thread.
    using PollStep = std::function<std::optional<QString>(int)>;
    using Query = std::function<void(const QString&)>;

    PresencePoll(PollStep pollStep, Query query, QObject* parent = nullptr);
    // Asks a running pass to stop after its current query and waits for it.
    ~PresencePoll() override;

    // One pass now, then one every period.
    void start();
    void stop();
    bool timerActive() const { return timer_.isActive(); }
    // The program is closing: a running pass skips its remaining contacts.
    void setClosing() { closing_ = true; }

    // One pass; skipped while the previous pass still runs. Returns whether a
    // pass was started.
    bool pollOnce();
    bool passRunning() const { return worker_ != nullptr && worker_->isRunning(); }
    // Waits for a running pass (tests).
    void waitForPass();

private:
    PollStep pollStep_;
    Query query_;
    QTimer timer_;
    QThread* worker_ = nullptr;
    std::atomic<bool> closing_{false};
};

}  // namespace kova
