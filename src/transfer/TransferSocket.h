#pragma once
// One file transfer's end of the connection, in either role. It runs on the
// transfer's own thread and owns the protocol state; everything the user sees
// (the save question, warnings, the progress dialog) is asked for through
// signals and posted messages, so no widget is touched from this thread.
//
// All socket and file work happens on the one thread: the dialog's cancel is
// queued here rather than run under a lock on the window thread, which keeps
// the chunk step, the replies and the close free of any locking.

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/TcpStream.h"
#include "transfer/OfferHeader.h"

namespace kova {

class CTransferSocket : public QObject {
    Q_OBJECT
public:
    enum class Role { Sender, Receiver };
    // Whom the transfer waits for, which decides how long it may wait.
    enum class Wait {
        Peer,        // the next step of a running transfer
        PeerOffer,   // receiver: the offer header of a fresh connection
        PeerAnswer,  // sender: the other user's save question and chooser
        User,        // receiver: our own save question and chooser
    };

    static inline const QString kSavePrompt = QStringLiteral("Do you want to Save File: \n%1?");
    static inline const QString kUploaded = QStringLiteral("Uploaded %1");
    static inline const QString kUploadBroken =
        QStringLiteral("A File upload is breaked by user...");
    static inline const QString kChunkSendFailed = QStringLiteral("File failed to send: error %1");
    static inline const QString kReplySendFailed =
        QStringLiteral("Server Socket failed to send: %1");
    static inline const QString kDeadNetwork =
        QStringLiteral("A File download operation encountered a dead network!");
    // A download is written here next to its target and renamed when whole.
    static inline const QString kPartSuffix = QStringLiteral(".part");
    // Error numbers of the failure report when no socket call gave one.
    static constexpr int kTimedOut = 10060;   // a limit ran out
    static constexpr int kConnReset = 10054;  // the peer closed before the end

    // The offer and the one-byte answers are retried every 10 ms while the
    // socket would block; a peer that reads nothing for the inactivity limit
    // (2000 waits) is given up. File data instead waits for writeWanted's
    // notification, and a peer that takes none ends by the thread's limit.
    static constexpr int kSendRetryMs = 10;
    static constexpr int kMaxSendWaits = 2000;
    // The receiver lets the last reply travel before it closes.
    static constexpr int kCloseAfterDoneMs = 1000;
    // Progress is posted at most this often (and always for the last chunk), so
    // a fast transfer does not flood the window thread.
    static constexpr int kProgressEveryMs = 50;
    // Activity is a restart of a 20-second limit: posting it more often than
    // this only costs an event per chunk.
    static constexpr int kActivityEveryMs = 100;

    // The sender keeps a window of bytes in flight instead of one chunk per
    // '{': the receiver answers each read of whatever has arrived, so a strict
    // peer sees nothing but a fuller socket. Bytes in flight are those sent
    // minus one chunk per '{' (never below zero), so a peer answering more
    // often than it reads cannot open the window past its cap. The window
    // starts at a few chunks and grows by a chunk for every answered '{' while
    // it is full: twice as large each round trip, until the link or the cap
    // limits it.
    static constexpr std::int64_t kInitialWindowBytes = 16 * std::int64_t(kChunkBytes);
    static constexpr std::int64_t kMaxWindowBytes = 4 << 20;
    // Bytes read from the file and handed to one send.
    static constexpr std::size_t kSendBlockBytes = 64 << 10;
    // The receiver reads (and answers) at most this many times per
    // notification, so a cancel or a stop still gets its turn.
    static constexpr int kReadsPerWake = 64;

    // stream: the connection, owned by the caller. threadTarget receives the
    // thread messages (MSG_THREAD_ACTIVITY, MSG_THREAD_STOP); dialog receives
    // MSG_TRANSFER_PROGRESS; either may be null. stop, when given, is set from
    // another thread to end a blocked send.
    CTransferSocket(ITcpStream& stream, QObject* threadTarget, QObject* dialog,
                    const std::atomic<bool>* stop = nullptr, QObject* parent = nullptr);
    ~CTransferSocket() override;

    void setSender(const QString& path, const QString& fileName);
    void setReceiver();

    // Thread start: the sender sends its offer; the receiver waits for it.
    void start();
    // The connection has data, an end or an error waiting.
    void onReadNotification(int pendingError);
    // Sender: the connection has room again after a send would have blocked.
    void onWritable();
    // The user's save choice; empty: declined or chooser cancelled.
    void onSaveAnswer(const QString& path);
    // The dialog's Abort: one stop reply, then the transfer ends at its next step.
    void cancel();
    // Once only: closes the connection and the file and asks the thread to end.
    // A download that is not whole loses its part file; a transfer the users
    // had started that ends without the whole file is reported (a sender's
    // warning "File failed to send: error %1"; failed() for the receiver),
    // unless the local user cancelled or the program is quitting.
    void close();
    // Ends the transfer for a reason found outside it (the thread's limit).
    void fail(int error);

    Role role() const { return role_; }
    bool isClosed() const { return closed_; }
    // Sender: the peer confirmed the whole file. Receiver: it is saved whole.
    bool completed() const { return completed_; }
    // Ended without the whole file after the users had started it.
    bool failed() const { return failed_; }
    Wait waitingFor() const;
    QString partPath() const { return path_ + kPartSuffix; }
    bool downloading() const { return downloading_; }
    QString path() const { return path_; }
    QString fileName() const { return fileName_; }
    std::int64_t total() const { return total_; }
    std::int64_t done() const { return done_; }

signals:
    // Receiver: ask the user whether and where to save (name already made safe).
    void saveRequested(const QString& fileName);
    // A warning for the user (message dialog, type 1).
    void warning(const QString& text);
    // The network went down under the connection.
    void deadNetwork();
    // Show the progress dialog: "Upload" or "Download".
    void showDialog(bool upload, const QString& fileName, const QString& path, qint64 total);
    // Sender: onWritable() is wanted (the socket is full) or no longer.
    void writeWanted(bool on);

private:
    void sendOffer();
    void onReply(std::byte reply);
    // Sender: fills the window from the file, as far as the socket takes it.
    void sendWindow();
    void wantWrite(bool on);
    void readHeader();
    void readData();
    void drainIdle();
    bool openPart();
    // Receiver: the last byte is written; the part file takes the real name.
    void finishDownload();
    // A read; the network-down error is announced and ends the transfer.
    StreamIo receive(MutableByteSpan buffer);
    void onNetworkDown();
    // Sends every byte, waiting while the socket would block. 0 or the error.
    int sendAll(ByteSpan bytes);
    bool sendReply(std::byte reply);
    // Receiver: n '{' in one send, as a strict peer reads them one by one.
    bool sendNextReplies(int n);
    void postActivity(bool force = false);
    bool quitting() const { return stop_ != nullptr && stop_->load(); }
    void postProgress(bool force);

    ITcpStream& stream_;
    QPointer<QObject> threadTarget_;
    QObject* dialog_;
    const std::atomic<bool>* stop_;

    Role role_ = Role::Receiver;
    bool awaitingHeader_ = true;
    bool prompting_ = false;
    bool downloading_ = false;
    bool offerSent_ = false;  // sender: the whole header went out
    bool started_ = false;    // sender: the offer was accepted
    bool declined_ = false;   // sender: refused before it started
    bool accepted_ = false;   // receiver: the user chose where to save
    bool reported_ = false;   // a failure warning is already on its way
    bool completed_ = false;
    bool failed_ = false;
    int lastError_ = 0;
    bool closed_ = false;
    bool cancelRequested_ = false;
    QString path_;
    QString fileName_;
    std::int64_t total_ = 0;
    std::int64_t done_ = 0;
    std::array<std::byte, OfferHeader::kSize> header_{};
    std::size_t headerBytes_ = 0;
    std::array<std::byte, kChunkBytes> buffer_{};
    // Sender: the window (see kInitialWindowBytes) and the block being sent.
    std::int64_t window_ = kInitialWindowBytes;
    std::int64_t inFlight_ = 0;
    bool windowFull_ = false;  // the last fill stopped at the window
    bool writeWanted_ = false;
    std::vector<std::byte> block_;
    std::size_t blockLen_ = 0;  // 0: none waiting to be sent
    std::size_t blockSent_ = 0;
    QFile file_;
    QElapsedTimer sinceProgress_;
    QElapsedTimer sinceActivity_;
};

}  // namespace kova
