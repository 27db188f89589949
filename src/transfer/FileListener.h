#pragma once
// Accepts file offers on TCP 6327 and starts uploads; keeps the running
// transfer threads. Lives on the window thread, owned by the main window.
//
// Offers are taken only from addresses that have a chat window open; that check
// is injected, so the listener needs nothing of the chat window.
//
// Whatever a peer can make us open is capped: an incoming connection holds an
// offer place from its accept until the save question has been answered (or it
// has ended), at most kMaxOpenOffers places and one per address. A connection
// beyond that is answered 'z' and closed before a thread, a dialog or a
// question is made for it.

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>

#include "transfer/SockThread.h"
#include "transfer/TransferPrompts.h"

class QWidget;

namespace kova {

class CDownloadDlg;
class IBalloonReporter;
class TcpListener;
class TcpSocket;

class CFileListener : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kPort = 6327;
    static constexpr int kBacklog = 5;
    static constexpr int kMaxOpenOffers = 4;
    // How long the quit sequence waits for the transfer threads, all together
    // (they are all asked to end at once).
    static constexpr int kStopWaitMs = 5000;
    // An outgoing connect that has not completed by then counts as failed.
    static constexpr int kConnectLimitMs = 20000;
    static inline const QString kUserUnknown = QStringLiteral("Aborted: User dosnt exist!");
    static inline const QString kConnectFailed = QStringLiteral("Connect dosn't get you file");
    static inline const QString kTooLarge =
        QStringLiteral("The file is too large to send (2 GB or more):\n%1");

    // address (dotted) -> a chat window is open for it; the chat channel's
    // "find and show", which also brings that window up.
    using ChatWindowFinder = std::function<bool(const QString& address)>;

    CFileListener(ChatWindowFinder hasChatWindow, IBalloonReporter* balloons,
                  QObject* parent = nullptr);
    ~CFileListener() override;

    // Listens on port at bindAddress (empty: every interface), backlog 5; the
    // same address is the local end of outgoing connections. 0 or the socket
    // error.
    int create(const QString& bindAddress = {}, std::uint16_t port = kPort);
    bool isListening() const;

    void setChatWindowFinder(ChatWindowFinder finder) { hasChatWindow_ = std::move(finder); }
    void setPrompts(TransferPrompts prompts) { prompts_ = std::move(prompts); }
    // Clock, tick and inactivity limit of the transfer threads started from now.
    void setTiming(CSockThread::Timing timing) { timing_ = std::move(timing); }
    // Port that outgoing offers connect to (tests; kPort otherwise).
    void setPeerPort(std::uint16_t port) { peerPort_ = port; }

    // The chat window's File button and dropped files: offers the file at path
    // to the peer. fileName defaults to the path's last component. Returns
    // false when refused at once (file too large or unreadable, connect not
    // startable); a connect that fails later shows "Connect dosn't get you file".
    bool SendFile(const QString& peerAddress, const QString& path, const QString& fileName = {});

    // Quit sequence: asks every transfer thread to end and waits for them up
    // to limitMs in all, handling window events meanwhile. A thread that does
    // not end is abandoned (never destroyed while running).
    void stopAndWait(int limitMs = kStopWaitMs);

    int transferCount() const;
    // Incoming connections holding an offer place.
    int openOfferCount() const { return int(offering_.size()); }
    QList<CSockThread*> transfers() const;

signals:
    // A transfer thread has ended and left the list (tests, status).
    void transferEnded(CSockThread* thread);
    // Every SendFile that returned true ends with this, on the window thread:
    // whole when the peer confirmed the whole file; otherwise the user has
    // been told why (a connect failure, a failed or broken upload), or the
    // peer declined the offer.
    void uploadEnded(const QString& peerAddress, const QString& path, bool whole);

private:
    void onAcceptNotification();
    // An offer place for address is free.
    bool offerPlaceFree(const QString& address) const;
    static void refuseOffer(int fd);
    void startTransfer(int fd, CTransferSocket::Role role, const QString& peerAddress,
                       const QString& path, const QString& fileName);
    void onThreadFinished(CSockThread* thread);
    bool removeThread(CSockThread* thread);

    ChatWindowFinder hasChatWindow_;
    IBalloonReporter* balloons_;
    TransferPrompts prompts_;
    CSockThread::Timing timing_;
    TcpListener* listener_ = nullptr;
    QString bindAddress_;
    std::uint16_t peerPort_ = kPort;

    // Added to on the window thread; the lock lets status queries come from
    // anywhere. Nothing is emitted or waited for while it is held.
    mutable QMutex lock_;
    QList<CSockThread*> threads_;
    QList<QPointer<CDownloadDlg>> dialogs_;
    // Window thread only.
    QList<CSockThread*> offering_;
};

}  // namespace kova
