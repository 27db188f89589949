#pragma once
// The presence poll: every 10 s each contact (at most 30) is asked whether it is
// free. The contacts silent for too long are marked on the UI thread first; a
// short-lived worker then resolves the host names among the addresses and sends
// the queries to the dotted addresses, so a slow name service never holds up the
// window. Each name's answer goes back to the UI thread (nameResolved), where
// the contact list keys the contact by it: a dynamic-DNS name follows its host.
//
// Each query's send time is kept by the address it went to, so an answer
// from that address tells its round trip. The worker notes the time before
// it sends, under a lock both threads hold only for a table look-up, so the
// answer (read on the UI thread) can never find the note missing.

#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "common/ThreadCheck.h"

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
    // A host name to its address in host byte order, or nullopt with *error
    // set; called on the worker thread.
    using Resolve = std::function<std::optional<std::uint32_t>(const QString&, int* error)>;

    // resolve: the socket layer's look-up unless given. A name that does not
    // resolve is not queried.
    PresencePoll(PollStep pollStep, Query query, QObject* parent = nullptr, Resolve resolve = {});
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

    // The round trip in ms of the query the answer from this contact key
    // (ContactEntry's) replies to; once per query, nothing for an address
    // that was not asked in this pass.
    std::optional<int> answered(std::uint32_t key);

signals:
    // On the poll's thread, after the pass's look-up of a host name: ipv4 in
    // host byte order and error 0, or ipv4 0 and the socket error.
    void nameResolved(const QString& name, quint32 ipv4, int error);

private:
    void ask(const QString& address);
    void noteSent(std::uint32_t ipv4);

    PollStep pollStep_;
    Query query_;
    Resolve resolve_;
    QTimer timer_;
    ThreadCheck ownerThread_;
    ThreadCheck workerThread_;
    QThread* worker_ = nullptr;
    std::atomic<bool> closing_{false};
    std::mutex sentLock_;
    // At most kMaxContacts entries: cleared at the start of each pass.
    std::unordered_map<std::uint32_t, std::chrono::steady_clock::time_point> sentAt_;
};

}  // namespace kova
