#pragma once
// SIGTERM, SIGINT and SIGHUP end the session the way a logoff does: the owner
// hears of them on its own thread, through the event loop, never inside the
// signal handler.

#include <QObject>

class QSocketNotifier;

namespace kova {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kova
