#pragma once
// Host names to IPv4 addresses on a worker thread of its own, the answers back
// on the owner's thread. A contact may be stored by name (a dynamic-DNS name,
// say), and a name service may take seconds to answer or never answer: the UI
// thread only queues the name and later hears the result.

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "common/ThreadCheck.h"

class QThread;

namespace kova {

class NameResolver : public QObject {
    Q_OBJECT
public:
    // The blocking look-up the worker runs: the address in host byte order, or
    // nullopt with *error set to the socket error.
    using Resolve = std::function<std::optional<std::uint32_t>(const QString& name, int* error)>;
    // Names come from the contact list (at most 30), each queued once; the cap
    // only guards against a caller gone wrong.
    static constexpr std::size_t kMaxQueued = 64;

    // resolve: the socket layer's look-up unless given.
    explicit NameResolver(QObject* parent = nullptr, Resolve resolve = {});
    // Waits for a look-up in progress; names still queued are dropped.
    ~NameResolver() override;

    // Queues the name unless it is already waiting or the queue is full. The
    // worker starts with the first name.
    void lookUp(const QString& name);

signals:
    // On the owner's thread: ipv4 in host byte order and error 0, or ipv4 0 and
    // the socket error.
    void resolved(const QString& name, quint32 ipv4, int error);

private:
    void run();

    Resolve resolve_;
    ThreadCheck ownerThread_;
    ThreadCheck workerThread_;
    QThread* worker_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QString> queue_;
    bool stopping_ = false;
};

}  // namespace kova
