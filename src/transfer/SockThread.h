#pragma once
// One file transfer's thread. The QThread object itself lives on the window
// thread and is that side's face of the transfer: it runs the save question and
// warnings there and forwards the answers. Inside run() the thread owns the
// connection and the CTransferSocket, with its own event loop, a 1000 ms timer
// and its limits.

#include <QThread>
#include <atomic>
#include <functional>

#include "transfer/TransferPrompts.h"
#include "transfer/TransferSocket.h"

namespace kova {

class CDownloadDlg;
class IBalloonReporter;

class CSockThread : public QThread {
    Q_OBJECT
public:
    struct Timing {
        // Milliseconds on a monotonic clock; tests drive their own.
        std::function<qint64()> clock;
        int tickMs = 1000;
        // A running transfer's step.
        int inactivityMs = 20000;
        // A fresh incoming connection's offer header: 528 bytes that follow
        // the connect at once, so a silent stranger holds its place briefly.
        int offerMs = 5000;
        // An offer's answer: the other user's question closes itself after
        // 35 s, but its save chooser has no limit of its own.
        int answerMs = 300000;
    };

    // fd: a connected descriptor, owned from here on. dialog may be null; it
    // must outlive the thread (the listener releases it after finished()).
    CSockThread(int fd, CTransferSocket::Role role, const QString& path, const QString& fileName,
                CDownloadDlg* dialog, const TransferPrompts& prompts, IBalloonReporter* balloons,
                Timing timing, QObject* parent = nullptr);
    ~CSockThread() override;

    // Any thread: ends the event loop and any send that waits for the peer.
    void requestStop();

    CTransferSocket::Role role() const { return role_; }
    // Dotted address of the peer (set by the listener before start).
    void setPeerAddress(const QString& address) { peerAddress_ = address; }
    QString peerAddress() const { return peerAddress_; }
    QString path() const { return path_; }
    CDownloadDlg* dialog() const { return dialog_; }
    // Valid once finished: the file arrived whole (receiver) or the peer
    // confirmed it whole (sender); the users had started it and it did not
    // end whole; where it was saved.
    bool completedDownload() const {
        return role_ == CTransferSocket::Role::Receiver && completed_;
    }
    bool completedUpload() const { return role_ == CTransferSocket::Role::Sender && completed_; }
    bool failed() const { return failed_; }
    QString savedPath() const { return savedPath_; }

    static Timing defaultTiming();

signals:
    // Window thread -> transfer thread: the user's save choice.
    void saveAnswered(const QString& path);
    // Window thread: the save question and chooser have closed.
    void offerSettled();

protected:
    void run() override;

private:
    void transferOnThisThread();
    void askSave(const QString& fileName);

    int fd_;
    CTransferSocket::Role role_;
    QString path_;
    QString fileName_;
    CDownloadDlg* dialog_;
    TransferPrompts prompts_;
    IBalloonReporter* balloons_;
    Timing timing_;
    std::atomic<bool> stop_{false};
    bool completed_ = false;
    bool failed_ = false;
    QString savedPath_;
    QString peerAddress_;
};

}  // namespace kova
