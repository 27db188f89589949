#include "transfer/FileListener.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QTimer>
#include <algorithm>

#include "common/ThreadCheck.h"
#include "platform/SocketErrors.h"
#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"
#include "platform/UdpSocket.h"
#include "transfer/DownloadDlg.h"
#include "transfer/OfferHeader.h"

namespace kova {

Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

CFileListener::CFileListener(ChatWindowFinder hasChatWindow, IBalloonReporter* balloons,
                             QObject* parent)
    : QObject(parent),
      hasChatWindow_(std::move(hasChatWindow)),
      balloons_(balloons),
      prompts_(TransferPrompts::standard()),
      timing_(CSockThread::defaultTiming()) {}

CFileListener::~CFileListener() {
    stopAndWait();
    for (const QPointer<CDownloadDlg>& dlg : std::as_const(dialogs_)) {
        delete dlg.data();
    }
}

int CFileListener::create(const QString& bindAddress, std::uint16_t port) {
    bindAddress_ = bindAddress;
    if (listener_ == nullptr) {
        listener_ = new TcpListener(this);
        connect(listener_, &TcpListener::acceptNotification, this,
                &CFileListener::onAcceptNotification);
    }
    return listener_->open(port, bindAddress, kBacklog);
}

bool CFileListener::isListening() const {
    return listener_ != nullptr && listener_->isOpen();
}

void CFileListener::onAcceptNotification() {
    const TcpListener::Accepted a = listener_->accept();
    if (a.fd < 0) {
        return;
    }
    const QString address = UdpSocket::dottedText(a.peerIpv4);
    // Checked first, so a flood does not bring a chat window up for each.
    if (!offerPlaceFree(address)) {
        qCDebug(lcTransfer) << "offer from" << address << "refused: no place";
        refuseOffer(a.fd);
        return;
    }
    if (!hasChatWindow_ || !hasChatWindow_(address)) {
        // Closed before anything is read from it.
        TcpSocket::closeDescriptor(a.fd);
        if (prompts_.refused) {
            prompts_.refused(address);
        }
        return;
    }
    startTransfer(a.fd, CTransferSocket::Role::Receiver, address, QString(), QString());
}

bool CFileListener::offerPlaceFree(const QString& address) const {
    if (offering_.size() >= kMaxOpenOffers) {
        return false;
    }
    return std::none_of(offering_.begin(), offering_.end(),
                        [&](const CSockThread* t) { return t->peerAddress() == address; });
}

void CFileListener::refuseOffer(int fd) {
    // A fresh connection's send buffer is empty: the one byte goes at once.
    TcpSocket socket;
    socket.attach(fd);
    socket.send(std::span(&kReplyStop, 1));
    socket.close();
}

bool CFileListener::SendFile(const QString& peerAddress, const QString& path,
                             const QString& fileName) {
    const QFileInfo info(path);
    const QString name = fileName.isEmpty() ? info.fileName() : fileName;
    // The header's size is signed 32 bits: refuse before the peer is bothered.
    if (info.exists() && !fitsOffer(info.size())) {
        if (prompts_.warn) {
            prompts_.warn(kTooLarge.arg(name));
        }
        return false;
    }
    auto* connector = new TcpSocket(this);
    if (connector->connectTo(peerAddress, peerPort_, bindAddress_) != 0) {
        delete connector;
        if (prompts_.warn) {
            prompts_.warn(kConnectFailed);
        }
        return false;
    }
    auto* limit = new QTimer(connector);
    limit->setSingleShot(true);
    auto finish = [this, connector, peerAddress, path, name](int error) {
        if (connector->property("done").toBool()) {
            return;
        }
        connector->setProperty("done", true);
        const int fd = error == 0 ? connector->takeDescriptor() : -1;
        connector->deleteLater();
        if (fd < 0) {
            if (prompts_.warn) {
                prompts_.warn(kConnectFailed);
            }
            emit uploadEnded(peerAddress, path, false);
            return;
        }
        startTransfer(fd, CTransferSocket::Role::Sender, peerAddress, path, name);
    };
    connect(connector, &TcpSocket::connected, this, finish);
    connect(limit, &QTimer::timeout, this, [finish] { finish(kWsaWouldBlock); });
    limit->start(kConnectLimitMs);
    return true;
}

void CFileListener::startTransfer(int fd, CTransferSocket::Role role, const QString& peerAddress,
                                  const QString& path, const QString& fileName) {
    auto* dialog = new CDownloadDlg(prompts_.openFile, prompts_.warn);
    auto* thread =
        new CSockThread(fd, role, path, fileName, dialog, prompts_, balloons_, timing_, this);
    thread->setPeerAddress(peerAddress);
    if (role == CTransferSocket::Role::Receiver) {
        offering_.append(thread);
        // Emitted here on the window thread, by the question's end.
        connect(thread, &CSockThread::offerSettled, this,
                [this, thread] { offering_.removeOne(thread); });
    }
    // finished() comes from the ending thread; the list and the dialog belong here.
    connect(
        thread, &QThread::finished, this, [this, thread] { onThreadFinished(thread); },
        Qt::QueuedConnection);
    {
        QMutexLocker locker(&lock_);
        threads_.append(thread);
        dialogs_.append(dialog);
    }
    thread->start();
}

bool CFileListener::removeThread(CSockThread* thread) {
    offering_.removeOne(thread);
    QMutexLocker locker(&lock_);
    dialogs_.removeIf([](const QPointer<CDownloadDlg>& d) { return d.isNull(); });
    return threads_.removeOne(thread);
}

void CFileListener::onThreadFinished(CSockThread* thread) {
    if (!removeThread(thread)) {
        return;  // already handled by stopAndWait
    }
    if (CDownloadDlg* dialog = thread->dialog()) {
        dialog->release(thread->completedDownload(), thread->savedPath(),
                        thread->role() == CTransferSocket::Role::Receiver && thread->failed());
    }
    if (thread->role() == CTransferSocket::Role::Sender) {
        emit uploadEnded(thread->peerAddress(), thread->path(), thread->completedUpload());
    }
    emit transferEnded(thread);
    // finished() comes just before the thread's very end; deleted only after it.
    thread->wait();
    waitedForWorker(*thread);
    thread->deleteLater();
}

void CFileListener::stopAndWait(int limitMs) {
    const QList<CSockThread*> running = transfers();
    for (CSockThread* t : running) {
        t->requestStop();
    }
    // One deadline for all: they end side by side.
    const QDeadlineTimer deadline(limitMs);
    for (CSockThread* t : running) {
        QPointer<CSockThread> thread(t);
        while (thread != nullptr && !thread->wait(QDeadlineTimer(10)) && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
        }
        if (thread == nullptr) {
            continue;
        }
        if (thread->isFinished()) {
            onThreadFinished(thread);
            continue;
        }
        // Still blocked: leave it to the process's end rather than destroy it
        // running.
        qCWarning(lcTransfer) << "transfer thread did not end in" << limitMs << "ms";
        if (removeThread(thread)) {
            thread->disconnect(this);
            thread->setParent(nullptr);
            // It may still post to its dialog: the dialog stays with it.
            if (CDownloadDlg* dialog = thread->dialog()) {
                dialog->hide();
                QMutexLocker locker(&lock_);
                dialogs_.removeAll(dialog);
            }
        }
    }
}

int CFileListener::transferCount() const {
    QMutexLocker locker(&lock_);
    return int(threads_.size());
}

QList<CSockThread*> CFileListener::transfers() const {
    QMutexLocker locker(&lock_);
    return threads_;
}

}  // namespace kova
