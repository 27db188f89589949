#include "transfer/SockThread.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include "common/BalloonReporter.h"
#include "common/ThreadCheck.h"
#include "common/WindowMessages.h"
#include "platform/TcpSocket.h"
#include "transfer/DownloadDlg.h"

namespace kova {

namespace {

// The thread side: receives the thread messages and checks the limit on every
// tick. The limit depends on whom the transfer waits for: a stranger gets a
// few seconds to send the offer, the other user minutes to answer it, and our
// own user as long as the question and the chooser stay open (the clock starts
// afresh once they close, so the user's time never counts against the peer).
class ThreadMessages : public QObject {
public:
    ThreadMessages(const CSockThread::Timing& timing, QEventLoop& loop)
        : timing_(timing), loop_(loop), last_(timing.clock()) {
        timer_.setInterval(timing.tickMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = timing_.clock();
            const CTransferSocket::Wait wait =
                transfer_ != nullptr ? transfer_->waitingFor() : CTransferSocket::Wait::Peer;
            if (wait == CTransferSocket::Wait::User) {
                last_ = now;
                return;
            }
            const int limit = wait == CTransferSocket::Wait::PeerOffer    ? timing_.offerMs
                              : wait == CTransferSocket::Wait::PeerAnswer ? timing_.answerMs
                                                                          : timing_.inactivityMs;
            if (now - last_ > limit) {
                timedOut_ = true;
                stop();
            }
        });
        timer_.start();
    }

    void watch(const CTransferSocket* transfer) { transfer_ = transfer; }
    bool timedOut() const { return timedOut_; }

    void stop() {
        timer_.stop();
        loop_.quit();
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(MSG_THREAD_STOP)) {
            stop();
            return true;
        }
        if (e->type() == static_cast<QEvent::Type>(MSG_THREAD_ACTIVITY)) {
            last_ = timing_.clock();
            return true;
        }
        return QObject::event(e);
    }

private:
    const CSockThread::Timing& timing_;
    QEventLoop& loop_;
    QTimer timer_;
    qint64 last_;
    const CTransferSocket* transfer_ = nullptr;
    bool timedOut_ = false;
};

}  // namespace

CSockThread::Timing CSockThread::defaultTiming() {
    Timing t;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    t.clock = [started] { return started->elapsed(); };
    return t;
}

CSockThread::CSockThread(int fd, CTransferSocket::Role role, const QString& path,
                         const QString& fileName, CDownloadDlg* dialog,
                         const TransferPrompts& prompts, IBalloonReporter* balloons, Timing timing,
                         QObject* parent)
    : QThread(parent),
      fd_(fd),
      role_(role),
      path_(path),
      fileName_(fileName),
      dialog_(dialog),
      prompts_(prompts),
      balloons_(balloons),
      timing_(std::move(timing)) {
    setObjectName(QStringLiteral("kova-transfer"));
    if (!timing_.clock) {
        timing_.clock = defaultTiming().clock;
    }
}

CSockThread::~CSockThread() {
    // A thread that never ran still owns its descriptor.
    if (!isFinished() && !isRunning()) {
        TcpSocket::closeDescriptor(fd_);
    }
}

void CSockThread::requestStop() {
    stop_ = true;
    quit();
}

void CSockThread::run() {
    transferOnThisThread();
    markWorkerEnd();
}

void CSockThread::transferOnThisThread() {
    QEventLoop loop;
    TcpSocket stream;
    stream.attach(fd_);
    ThreadMessages messages(timing_, loop);
    CTransferSocket transfer(stream, &messages, dialog_, &stop_);
    messages.watch(&transfer);
    if (role_ == CTransferSocket::Role::Sender) {
        transfer.setSender(path_, fileName_);
    } else {
        transfer.setReceiver();
    }
    connect(&stream, &TcpSocket::readNotification, &transfer, &CTransferSocket::onReadNotification);
    // A sender whose window fills the socket goes on when there is room.
    connect(&transfer, &CTransferSocket::writeWanted, &stream, &TcpSocket::setWriteNotifications);
    connect(&stream, &TcpSocket::writable, &transfer, &CTransferSocket::onWritable);
    // The question and the chooser are widgets: shown on the window thread
    // while this loop keeps running (without a limit meanwhile).
    connect(&transfer, &CTransferSocket::saveRequested, this, &CSockThread::askSave,
            Qt::QueuedConnection);
    // Back to this thread; dropped by Qt if the transfer has ended meanwhile.
    connect(this, &CSockThread::saveAnswered, &transfer, &CTransferSocket::onSaveAnswer,
            Qt::QueuedConnection);
    // Warnings are widgets too: window thread, and this thread does not wait.
    connect(
        &transfer, &CTransferSocket::warning, this,
        [warn = prompts_.warn](const QString& text) {
            if (warn) {
                warn(text);
            }
        },
        Qt::QueuedConnection);
    // The balloon belongs to the main window's thread.
    connect(
        &transfer, &CTransferSocket::deadNetwork, this,
        [this] {
            if (balloons_ != nullptr) {
                balloons_->ShowBalloon(CTransferSocket::kDeadNetwork);
            }
        },
        Qt::QueuedConnection);
    if (dialog_ != nullptr) {
        // The dialog is a widget of the window thread.
        connect(&transfer, &CTransferSocket::showDialog, dialog_, &CDownloadDlg::showTransfer,
                Qt::QueuedConnection);
        // Abort runs here, with every other socket operation.
        connect(dialog_, &CDownloadDlg::aborted, &transfer, &CTransferSocket::cancel,
                Qt::QueuedConnection);
    }

    if (!stop_) {
        transfer.start();
        loop.exec();
    }
    if (messages.timedOut()) {
        transfer.fail(CTransferSocket::kTimedOut);
    }
    transfer.close();
    completed_ = transfer.completed();
    failed_ = transfer.failed();
    savedPath_ = transfer.path();
}

void CSockThread::askSave(const QString& fileName) {
    // Asked for just before an end that came first (quit): no question.
    if (!prompts_.askSavePath || isFinished() || stop_) {
        emit offerSettled();
        emit saveAnswered(QString());
        return;
    }
    // The question and the chooser stay open while the window thread goes on;
    // this transfer may end and its thread object be deleted before they close.
    prompts_.askSavePath(fileName, [self = QPointer<CSockThread>(this)](const QString& path) {
        if (self != nullptr) {
            emit self->offerSettled();
            emit self->saveAnswered(path);
        }
    });
}

}  // namespace kova
