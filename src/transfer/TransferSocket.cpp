#include "transfer/TransferSocket.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "common/WindowMessages.h"
#include "platform/SocketErrors.h"

namespace kova {

Q_LOGGING_CATEGORY(lcTransfer, "kova.transfer", QtWarningMsg)

namespace {
constexpr int kInProgress = 10036;

bool wouldBlock(int error) {
    return error == kWsaWouldBlock || error == kInProgress;
}
}  // namespace

CTransferSocket::CTransferSocket(ITcpStream& stream, QObject* threadTarget, QObject* dialog,
                                 const std::atomic<bool>* stop, QObject* parent)
    : QObject(parent), stream_(stream), threadTarget_(threadTarget), dialog_(dialog), stop_(stop) {}

CTransferSocket::~CTransferSocket() {
    // Whoever listened may be gone by now; the files are still tidied.
    blockSignals(true);
    close();
}

void CTransferSocket::setSender(const QString& path, const QString& fileName) {
    role_ = Role::Sender;
    awaitingHeader_ = false;
    path_ = path;
    fileName_ = fileName;
}

void CTransferSocket::setReceiver() {
    role_ = Role::Receiver;
    awaitingHeader_ = true;
}

void CTransferSocket::start() {
    if (role_ == Role::Sender) {
        sendOffer();
    }
}

void CTransferSocket::sendOffer() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        close();
        return;
    }
    const qint64 size = file.size();
    file.close();
    if (!fitsOffer(size)) {
        close();
        return;
    }
    OfferHeader header;
    header.size = static_cast<std::int32_t>(size);
    header.name.setText(fileName_.toStdU16String());
    const auto bytes = header.encode();
    if (const int error = sendAll(bytes); error != 0) {
        lastError_ = error;
        close();
        return;
    }
    offerSent_ = true;
    postActivity();
}

CTransferSocket::Wait CTransferSocket::waitingFor() const {
    if (closed_) {
        return Wait::Peer;
    }
    if (prompting_) {
        return Wait::User;
    }
    if (role_ == Role::Receiver && awaitingHeader_) {
        return Wait::PeerOffer;
    }
    if (role_ == Role::Sender && !started_ && !declined_) {
        return Wait::PeerAnswer;
    }
    return Wait::Peer;
}

void CTransferSocket::onReadNotification(int pendingError) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (closed_) {
        return;
    }
    if (pendingError == kWsaNetDown) {
        onNetworkDown();
        return;
    }
    if (role_ == Role::Sender) {
        // Every answer waiting is taken at once; a window in flight brings many.
        const StreamIo r = receive(buffer_);
        if (wouldBlock(r.error)) {
            return;
        }
        if (!r.ok() || r.size == 0) {
            lastError_ = r.error != 0 ? r.error : kConnReset;
            // The peer is most likely gone; its answer to the stop is not needed.
            sendAll(std::span(&kReplyStop, 1));
            close();
            return;
        }
        for (std::size_t i = 0; i < r.size && !closed_; ++i) {
            onReply(buffer_[i]);
        }
        sendWindow();
    } else if (awaitingHeader_) {
        readHeader();
    } else if (downloading_) {
        readData();
    } else {
        drainIdle();
    }
}

void CTransferSocket::onReply(std::byte reply) {
    if (reply == kReplyAccept) {
        if (started_) {
            return;  // a second acceptance would restart the file
        }
        done_ = 0;
        file_.setFileName(path_);
        if (!file_.open(QIODevice::ReadOnly)) {
            close();
            return;
        }
        if (!fitsOffer(file_.size())) {
            sendReply(kReplyStop);
            close();
            return;
        }
        total_ = file_.size();
        started_ = true;
        block_.resize(kSendBlockBytes);
        emit showDialog(true, fileName_, QString(), total_);
    } else if (reply == kReplyNext) {
        // A '{' for bytes never sent opens nothing.
        if (started_ && inFlight_ > 0) {
            inFlight_ = std::max<std::int64_t>(0, inFlight_ - std::int64_t(kChunkBytes));
            if (windowFull_) {
                window_ = std::min(kMaxWindowBytes, window_ + std::int64_t(kChunkBytes));
            }
        }
    } else if (reply == kReplyDone) {
        // Only a peer that has had every byte can have the whole file.
        if (started_ && done_ >= total_) {
            completed_ = true;
            emit warning(kUploaded.arg(fileName_));
        }
        // Nothing more can come: end now rather than by the inactivity limit.
        close();
    } else if (reply == kReplyStop) {
        if (started_) {
            reported_ = true;
            emit warning(kUploadBroken);
        } else {
            declined_ = true;
        }
        close();
    }
}

void CTransferSocket::sendWindow() {
    if (!started_ || closed_) {
        return;
    }
    const std::int64_t before = done_;
    windowFull_ = false;
    for (;;) {
        if (cancelRequested_) {
            close();
            return;
        }
        if (blockLen_ == 0) {
            const std::int64_t room = std::min(window_ - inFlight_, total_ - done_);
            if (room <= 0) {
                windowFull_ = done_ < total_;
                break;
            }
            const qint64 want = std::min<qint64>(room, qint64(block_.size()));
            const qint64 got = file_.read(reinterpret_cast<char*>(block_.data()), want);
            if (got <= 0) {
                // The file shrank or cannot be read: the peer must not wait for the rest.
                sendAll(std::span(&kReplyStop, 1));
                close();
                return;
            }
            blockLen_ = std::size_t(got);
            blockSent_ = 0;
        }
        const StreamIo r =
            stream_.send(ByteSpan(block_.data() + blockSent_, blockLen_ - blockSent_));
        if (wouldBlock(r.error)) {
            wantWrite(true);
            break;
        }
        if (!r.ok()) {
            reported_ = true;
            emit warning(kChunkSendFailed.arg(r.error));
            close();
            return;
        }
        blockSent_ += r.size;
        done_ += std::int64_t(r.size);
        inFlight_ += std::int64_t(r.size);
        if (blockSent_ == blockLen_) {
            blockLen_ = 0;
        }
    }
    if (blockLen_ == 0) {
        wantWrite(false);
    }
    if (done_ != before) {
        postProgress(done_ >= total_);
        postActivity();
    }
}

void CTransferSocket::onWritable() {
    Q_ASSERT(QThread::currentThread() == thread());
    wantWrite(false);
    sendWindow();
}

void CTransferSocket::wantWrite(bool on) {
    if (writeWanted_ != on) {
        writeWanted_ = on;
        emit writeWanted(on);
    }
}

void CTransferSocket::readHeader() {
    // The header may arrive in several pieces; only its first byte and its end
    // decide.
    const StreamIo r =
        receive(MutableByteSpan(header_.data() + headerBytes_, header_.size() - headerBytes_));
    if (wouldBlock(r.error)) {
        return;
    }
    if (!r.ok() || r.size == 0) {
        sendReply(kReplyStop);
        close();
        return;
    }
    headerBytes_ += r.size;
    if (header_[0] != OfferHeader::kTag) {
        sendReply(kReplyStop);
        close();
        return;
    }
    if (headerBytes_ < header_.size()) {
        return;
    }
    awaitingHeader_ = false;
    const auto header = OfferHeader::decode(header_);
    if (!header) {
        sendReply(kReplyStop);
        close();
        return;
    }
    total_ = header->size;
    fileName_ = safeFileName(QString::fromStdU16String(header->name.text()));
    // Nothing is read while the user decides; the sender waits for the answer.
    prompting_ = true;
    stream_.setReadNotifications(false);
    postActivity();
    emit saveRequested(fileName_);
}

void CTransferSocket::onSaveAnswer(const QString& path) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (closed_ || !prompting_) {
        return;
    }
    prompting_ = false;
    stream_.setReadNotifications(true);
    // The user's time does not count against the sender.
    postActivity(true);
    if (path.isEmpty()) {
        sendReply(kReplyStop);
        return;
    }
    path_ = path;
    accepted_ = true;
    // Created now, so that even an empty file exists once it is reported.
    if (!openPart()) {
        sendReply(kReplyStop);
        close();
        return;
    }
    emit showDialog(false, fileName_, path_, total_);
    if (!sendReply(kReplyAccept)) {
        return;
    }
    if (total_ == 0) {
        // No chunk will come: the file is whole already.
        postProgress(true);
        finishDownload();
        return;
    }
    downloading_ = true;
}

bool CTransferSocket::openPart() {
    file_.setFileName(partPath());
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        // Going on would answer "whole file received" for a file never written.
        qCWarning(lcTransfer) << "cannot create" << partPath();
        return false;
    }
    return true;
}

void CTransferSocket::finishDownload() {
    file_.close();
    downloading_ = false;
    // The chooser has asked before overwriting, as it did when the file was
    // written in place.
    if ((QFile::exists(path_) && !QFile::remove(path_)) || !QFile::rename(partPath(), path_)) {
        qCWarning(lcTransfer) << "cannot rename" << partPath() << "to" << path_;
        sendReply(kReplyStop);
        close();
        return;
    }
    completed_ = true;
    if (!sendReply(kReplyDone)) {
        return;
    }
    stream_.setReadNotifications(false);
    QTimer::singleShot(kCloseAfterDoneMs, this, &CTransferSocket::close);
}

void CTransferSocket::readData() {
    // Each read of up to a chunk earns its '{', as the protocol has it; what has
    // arrived is read in a row and the answers leave together.
    int answers = 0;
    for (int reads = 0; reads < kReadsPerWake; ++reads) {
        if (cancelRequested_) {
            close();
            return;
        }
        // Never more than the announced size, whatever the sender pushes.
        const std::size_t n = nextChunkBytes(total_, done_);
        const StreamIo r = receive(MutableByteSpan(buffer_.data(), n));
        if (wouldBlock(r.error)) {
            break;
        }
        if (!r.ok() || r.size == 0) {
            lastError_ = r.error != 0 ? r.error : kConnReset;
            close();
            return;
        }
        done_ += std::int64_t(r.size);
        if (file_.write(reinterpret_cast<const char*>(buffer_.data()), qint64(r.size)) !=
            qint64(r.size)) {
            qCWarning(lcTransfer) << "cannot write" << partPath();
            sendReply(kReplyStop);
            close();
            return;
        }
        if (done_ >= total_) {
            postProgress(true);
            if (sendNextReplies(answers)) {
                finishDownload();
            }
            return;
        }
        ++answers;
    }
    postProgress(false);
    if (answers > 0 && sendNextReplies(answers)) {
        postActivity();
    }
}

void CTransferSocket::drainIdle() {
    // After a declined offer: bytes are dropped, the peer's close ends us.
    const StreamIo r = receive(buffer_);
    if (wouldBlock(r.error)) {
        return;
    }
    if (!r.ok() || r.size == 0) {
        close();
    }
}

StreamIo CTransferSocket::receive(MutableByteSpan buffer) {
    const StreamIo r = stream_.receive(buffer);
    if (r.error == kWsaNetDown) {
        onNetworkDown();
    }
    return r;
}

void CTransferSocket::onNetworkDown() {
    if (!closed_) {
        lastError_ = kWsaNetDown;
        reported_ = true;  // the balloon says it
        emit deadNetwork();
        close();
    }
}

void CTransferSocket::cancel() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (closed_ || cancelRequested_) {
        return;
    }
    cancelRequested_ = true;
    sendAll(std::span(&kReplyStop, 1));
}

void CTransferSocket::close() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (closed_) {
        return;
    }
    closed_ = true;
    stream_.close();
    if (file_.isOpen()) {
        file_.close();
    }
    if (role_ == Role::Receiver && accepted_ && !completed_) {
        // Never a file under the real name with only some of the bytes.
        QFile::remove(partPath());
    }
    const bool underWay =
        role_ == Role::Sender ? !declined_ && (offerSent_ || lastError_ != 0) : accepted_;
    if (underWay && !completed_ && !cancelRequested_ && !quitting()) {
        failed_ = true;
        if (role_ == Role::Sender && !reported_) {
            reported_ = true;
            emit warning(kChunkSendFailed.arg(lastError_));
        }
    }
    if (threadTarget_ != nullptr) {
        postMessage(threadTarget_, MSG_THREAD_STOP);
    }
}

void CTransferSocket::fail(int error) {
    if (lastError_ == 0) {
        lastError_ = error;
    }
    close();
}

int CTransferSocket::sendAll(ByteSpan bytes) {
    int waits = 0;
    while (!bytes.empty()) {
        const StreamIo r = stream_.send(bytes);
        if (wouldBlock(r.error)) {
            if (++waits > kMaxSendWaits || (stop_ != nullptr && stop_->load())) {
                return r.error;
            }
            QThread::msleep(kSendRetryMs);
            continue;
        }
        if (!r.ok()) {
            return r.error;
        }
        waits = 0;
        bytes = bytes.subspan(r.size);
    }
    return 0;
}

bool CTransferSocket::sendReply(std::byte reply) {
    if (closed_) {
        return false;
    }
    const int error = sendAll(std::span(&reply, 1));
    if (error != 0) {
        emit warning(kReplySendFailed.arg(error));
        close();
        return false;
    }
    return true;
}

bool CTransferSocket::sendNextReplies(int n) {
    std::array<std::byte, kReadsPerWake> replies;
    replies.fill(kReplyNext);
    if (closed_ || n <= 0) {
        return !closed_;
    }
    const int error = sendAll(ByteSpan(replies.data(), std::size_t(n)));
    if (error != 0) {
        emit warning(kReplySendFailed.arg(error));
        close();
        return false;
    }
    return true;
}

void CTransferSocket::postActivity(bool force) {
    if (threadTarget_ == nullptr) {
        return;
    }
    if (!force && sinceActivity_.isValid() && sinceActivity_.elapsed() < kActivityEveryMs) {
        return;
    }
    sinceActivity_.start();
    postMessage(threadTarget_, MSG_THREAD_ACTIVITY);
}

void CTransferSocket::postProgress(bool force) {
    if (dialog_ == nullptr) {
        return;
    }
    if (!force && sinceProgress_.isValid() && sinceProgress_.elapsed() < kProgressEveryMs) {
        return;
    }
    sinceProgress_.start();
    postMessage(dialog_, MSG_TRANSFER_PROGRESS, QVariant::fromValue<qint64>(done_),
                QVariant::fromValue<qint64>(total_));
}

}  // namespace kova
