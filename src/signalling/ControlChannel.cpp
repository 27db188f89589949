#include "signalling/ControlChannel.h"

#include "contacts/ContactEntry.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>
#include <QWidget>
#include <QtEndian>
#include <cstring>

#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "platform/UdpSocket.h"
#include "signalling/DlgMessage.h"
#include "signalling/SocketErrorText.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcControl, "kova.signalling", QtWarningMsg)

using TextField = CallDatagram::TextField;

void writeText(std::array<std::byte, CallDatagram::kSize>& block, std::size_t offset,
               const QString& text) {
    TextField field;
    field.setText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                      static_cast<std::size_t>(text.size())));
    field.write(block, offset);
}

// Keeps a sender listed as having an open prompt for the prompt's lifetime; the
// channel may be gone when the nested loop returns.
class OpenPrompt {
public:
    OpenPrompt(QStringList& list, int& strangers, bool stranger, QObject* channel, QString sender)
        : list_(list),
          strangers_(strangers),
          stranger_(stranger),
          channel_(channel),
          sender_(std::move(sender)) {
        list_.append(sender_);
        strangers_ += stranger_ ? 1 : 0;
    }
    ~OpenPrompt() {
        if (channel_) {
            list_.removeOne(sender_);
            strangers_ -= stranger_ ? 1 : 0;
        }
    }
    OpenPrompt(const OpenPrompt&) = delete;
    OpenPrompt& operator=(const OpenPrompt&) = delete;

private:
    QStringList& list_;
    int& strangers_;
    bool stranger_;
    QPointer<QObject> channel_;
    QString sender_;
};
}  // namespace

CControlChannel::CControlChannel(PlaySound playSound, IBalloonReporter* balloons, QObject* parent)
    : QObject(parent),
      playSound_(std::move(playSound)),
      balloons_(balloons),
      socket_(new UdpSocket(this)) {
    showMessage_ = [this](const QString& text, const QString& caption, int type) {
        const int closeAfter = type == CDlgMessage::Question ? questionMs_
                               : type == CDlgMessage::Notice ? noticeMs_
                                                             : 0;
        return CDlgMessage::show(text, caption, type, dialogParent(), closeAfter);
    };
    connect(socket_, &UdpSocket::readNotification, this, &CControlChannel::handleReadNotification);
}

CControlChannel::~CControlChannel() = default;

int CControlChannel::create(const QString& bindAddress) {
    return socket_->open(kPort, bindAddress);
}

bool CControlChannel::isOpen() const {
    return socket_->isOpen();
}

void CControlChannel::setOwner(QObject* owner, const QString& name, const QString& email) {
    owner_ = owner;
    setIdentity(name, email);
}

void CControlChannel::setIdentity(const QString& name, const QString& email) {
    if (!name.isNull()) {
        writeText(ownBlock_, CallDatagram::kNameOffset, name);
    }
    if (!email.isNull()) {
        writeText(ownBlock_, CallDatagram::kEmailOffset, email);
    }
}

void CControlChannel::setCallParameters(const CallParameters& parameters) {
    parameters.write(ownBlock_, CallDatagram::kParametersOffset);
}

void CControlChannel::setPromptTimeouts(int questionMs, int noticeMs) {
    questionMs_ = questionMs;
    noticeMs_ = noticeMs;
}

void CControlChannel::setShowMessage(ShowMessage show) {
    showMessage_ = std::move(show);
}

CallParameters CControlChannel::peerCallParameters() const {
    return *CallParameters::decode(
        ByteSpan(storedPeer_).subspan(CallDatagram::kParametersOffset, CallParameters::kSize));
}

bool CControlChannel::Send(std::uint8_t command, const QString& address, bool reportErrors) {
    if (address.isEmpty()) {
        return false;
    }
    if (control::isSilent(command)) {
        return true;
    }
    int error = 0;
    if (control::usesCallDatagram(command)) {
        // The own block is only touched on the channel's thread.
        Q_ASSERT(QThread::currentThread() == thread());
        ownBlock_[0] = static_cast<std::byte>(command);
        error = socket_->sendTo(ownBlock_, address, kPort);
    } else {
        const auto bytes = control::encodeShortCommand(command);
        error = socket_->sendTo(bytes, address, kPort);
    }
    if (error == 0) {
        return true;
    }
    qCDebug(lcControl) << "send of" << command << "to" << address << "failed:" << error;
    if (reportErrors) {
        Q_ASSERT(QThread::currentThread() == thread());
        QString text;
        SocketErrorText(text, error);
        showNotice(text, kSendErrorCaption);
    }
    return false;
}

bool CControlChannel::call(const QString& address) {
    peerAddress_ = address;
    callCancelled_ = false;
    if (state_ != State::InCall) {
        state_ = State::Calling;
    }
    return Send(CTL_CALL, address, true);
}

void CControlChannel::cancelCall() {
    if (state_ == State::Calling) {
        state_ = State::Idle;
        callCancelled_ = true;
    }
}

bool CControlChannel::requestChat(const QString& address) {
    if (!Send(CTL_CHAT, address, true)) {
        return false;
    }
    const qint64 now = QDeadlineTimer::current().deadline();
    pendingChats_.removeIf([&](const auto& p) { return p.first == address || p.second < now; });
    if (pendingChats_.size() >= kMaxPendingChats) {
        pendingChats_.removeFirst();
    }
    pendingChats_.append({address, now + kPendingChatMs});
    return true;
}

bool CControlChannel::takePendingChat(const QString& sender) {
    const qint64 now = QDeadlineTimer::current().deadline();
    bool found = false;
    pendingChats_.removeIf([&](const auto& p) {
        if (p.first == sender) {
            found = p.second >= now;
            return true;
        }
        return p.second < now;
    });
    return found;
}

bool CControlChannel::fromPeer(std::uint32_t sourceIpv4) const {
    const auto peer = UdpSocket::parseDotted(peerAddress_);
    return peer && *peer == sourceIpv4;
}

void CControlChannel::hangUp() {
    if (state_ != State::InCall || peerAddress_.isEmpty()) {
        return;
    }
    // Cleared before the send: a failed send shows a dialog whose nested loop
    // must already see the conference as ended.
    state_ = State::Idle;
    storedPeer_.fill(std::byte{0});
    Send(CTL_HANGUP, peerAddress_, true);
}

void CControlChannel::sendFrameAck() {
    Send(CTL_FRAME_ACK, peerAddress_, false);
}

void CControlChannel::sendMicStep(bool raise) {
    if (inCall()) {
        Send(raise ? CTL_MIC_UP : CTL_MIC_DOWN, peerAddress_, false);
    }
}

void CControlChannel::queryPresence(const QString& address) {
    Send(CTL_QUERY, address, false);
}

void CControlChannel::handleReadNotification(int pendingError) {
    if (pendingError == kWsaNetDown) {
        if (owner_) {
            if (balloons_ != nullptr) {
                balloons_->ShowBalloon(kDeadNetwork);
            }
            postMessage(owner_, MSG_PEER_HANGUP, 0, 0);
        }
        if (state_ == State::InCall) {
            state_ = State::Idle;
        }
    }
    // On the stack: a prompt's nested loop reads further datagrams while an
    // outer handler still works on its own.
    Block buffer{};
    const UdpSocket::Received r = socket_->receiveFrom(buffer);
    // Without an owner the datagram is still read: left unread it would keep the
    // socket readable and the notifier firing.
    if (!owner_ || !r.ok()) {
        return;
    }
    processDatagram(ByteSpan(buffer).first(r.size), r.sourceIpv4, r.sourcePort);
}

void CControlChannel::processDatagram(ByteSpan datagram, std::uint32_t sourceIpv4,
                                      std::uint16_t sourcePort) {
    if (datagram.empty() || datagram.size() > CallDatagram::kSize || sourcePort != kPort) {
        return;
    }
    const int command = std::to_integer<int>(datagram[0]);
    if (!control::isCommand(command) ||
        (control::needsCallDatagram(command) && datagram.size() < CallDatagram::kSize)) {
        return;
    }
    if (!owner_) {
        return;
    }
    // A zero-filled copy: fields past a short datagram's end read as zero.
    Block d{};
    std::memcpy(d.data(), datagram.data(), datagram.size());
    const QString sender = UdpSocket::dottedText(sourceIpv4);

    switch (command) {
        case CTL_BUSY:
            showNotice(QStringLiteral("User %1 has busy!").arg(sender));
            break;
        case CTL_CALL:
            onCall(d, sender);
            break;
        case CTL_HANGUP:
            // Anyone can send one; only the peer ends the conference.
            if (inCall() && fromPeer(sourceIpv4)) {
                state_ = State::Idle;
                postMessage(owner_, MSG_PEER_HANGUP, 0, 0);
            }
            break;
        case CTL_ACCEPT:
            // Only the answer of the address we are still calling: a stranger's,
            // or one that comes after Disconnect or the time-out, would start
            // capture and streaming nobody asked for.
            if (state_ != State::Calling || !fromPeer(sourceIpv4)) {
                qCInfo(lcControl) << "acceptance from" << sender << "ignored";
                if (state_ == State::Idle && callCancelled_ && fromPeer(sourceIpv4)) {
                    // The callee answered after we gave up: it would otherwise
                    // run a conference with nobody until its user hangs up.
                    callCancelled_ = false;
                    Send(CTL_HANGUP, sender, false);
                }
                break;
            }
            state_ = State::InCall;
            storedPeer_ = d;
            sendMessage(owner_, MSG_START_CONFERENCE, 0, 0);
            break;
        case CTL_REJECT:
            showNotice(QStringLiteral("User %1 has rejected your call!").arg(sender));
            break;
        case CTL_QUERY:
            Send(inCall() ? CTL_ENGAGED : CTL_FREE, sender, true);
            break;
        case CTL_FREE:
        case CTL_ENGAGED:
            qCInfo(lcControl) << "presence of" << sender
                              << (command == CTL_FREE ? "free" : "engaged");
            // The value the contact list keys its contacts by.
            postMessage(owner_, MSG_PRESENCE_REPLY, command == CTL_FREE ? 1 : 0,
                        QVariant::fromValue<quint32>(contactKey(sender)));
            break;
        case CTL_FRAME_ACK:
            // A stranger's acks would pace our pictures for the peer.
            if (inCall() && fromPeer(sourceIpv4)) {
                frameAck_ = true;
                emit frameAcknowledged();
            }
            break;
        case CTL_CHAT:
            onChat(d, sender);
            break;
        case CTL_CHAT_CLOSED:
            sendMessage(owner_, MSG_CHAT_CLOSED, sender, 0);
            break;
        case CTL_CHAT_ACCEPT:
            onChatAccept(d, sender);
            break;
        case CTL_CHAT_REJECT:
            takePendingChat(sender);
            showNotice(QStringLiteral("User %1 has rejected your chat call!")
                           .arg(receivedText(d, CallDatagram::kNameOffset)));
            break;
        case CTL_MIC_DOWN:
        case CTL_MIC_UP:
            // Only the conference peer may move our microphone.
            if (inCall() && fromPeer(sourceIpv4)) {
                postMessage(owner_, MSG_MIC_STEP, command == CTL_MIC_UP ? 1 : 0, 0);
            }
            break;
        default:  // 123, 124
            break;
    }
}

void CControlChannel::onCall(const Block& d, const QString& sender) {
    if (inCall() && sender != peerAddress_) {
        Send(CTL_BUSY, sender, true);
        return;
    }
    switch (mayAsk(sender)) {
        case Ask::AlreadyAsking:
            return;
        case Ask::Busy:
            // Unreported: a flood must not open error boxes either.
            Send(CTL_BUSY, sender, false);
            return;
        case Ask::Yes:
            break;
    }
    const QString name = receivedText(d, CallDatagram::kNameOffset);
    const QString email = receivedText(d, CallDatagram::kEmailOffset);
    QPointer<CControlChannel> self(this);
    const int result = ask(
        sender, QStringLiteral("Do you want make video chat with:\n%1\nIP:%2?").arg(name, sender));
    if (!self) {
        return;
    }
    if (result == CDlgMessage::Ok && inCall() && sender != peerAddress_) {
        // Another conference started while this question was open.
        Send(CTL_BUSY, sender, false);
        return;
    }
    if (result == CDlgMessage::Ok) {
        peerAddress_ = sender;
        peerName_ = name;
        peerEmail_ = email;
        state_ = State::InCall;
        storedPeer_ = d;
        // The conference goes on even when this send fails.
        Send(CTL_ACCEPT, peerAddress_, true);
        if (!self || !inCall() || peerAddress_ != sender) {
            return;
        }
        showOwnerWindow();
        if (owner_) {
            sendMessage(owner_, MSG_START_CONFERENCE, 0, 0);
        }
    } else {
        Send(CTL_REJECT, sender, true);
        if (self && owner_) {
            postMessage(owner_, MSG_CALL_DECLINED, 0, 0);
        }
    }
}

bool CControlChannel::isContact(const QString& sender) const {
    return isContact_ && isContact_(sender);
}

CControlChannel::Ask CControlChannel::mayAsk(const QString& sender) const {
    if (openPrompts_.contains(sender)) {
        qCDebug(lcControl) << "request from" << sender << "ignored: prompt open";
        return Ask::AlreadyAsking;
    }
    if (openPrompts_.size() >= kMaxOpenPrompts ||
        (!isContact(sender) && strangerPrompts_ >= kMaxStrangerPrompts)) {
        qCDebug(lcControl) << "request from" << sender << "refused: prompts full";
        return Ask::Busy;
    }
    return Ask::Yes;
}

int CControlChannel::ask(const QString& sender, const QString& text) {
    ring();
    OpenPrompt open(openPrompts_, strangerPrompts_, !isContact(sender), this, sender);
    return showPrompt(text);
}

void CControlChannel::onChat(const Block& d, const QString& sender) {
    if (sendMessage(owner_, MSG_FIND_CHAT, sender, 0) == 1) {
        Send(CTL_CHAT_ACCEPT, sender, true);
        return;
    }
    if (mayAsk(sender) != Ask::Yes) {
        return;
    }
    const QString name = receivedText(d, CallDatagram::kNameOffset);
    QPointer<CControlChannel> self(this);
    const int result =
        ask(sender, QStringLiteral("Do you want make chat with:\n%1\nIP:%2?").arg(name, sender));
    if (!self) {
        return;
    }
    if (result != CDlgMessage::Ok) {
        Send(CTL_CHAT_REJECT, sender, true);
        return;
    }
    Send(CTL_CHAT_ACCEPT, sender, true);
    if (!self || !owner_) {
        return;
    }
    const QByteArray datagram(reinterpret_cast<const char*>(d.data()),
                              static_cast<qsizetype>(d.size()));
    sendMessage(owner_, MSG_CHAT_CONTACT, datagram, sender);
    showOwnerWindow();
    if (owner_) {
        sendMessage(owner_, MSG_OPEN_CHAT, sender, name);
    }
}

void CControlChannel::onChatAccept(const Block& d, const QString& sender) {
    // Only the answer to a request of ours: anyone else's would open windows
    // at will.
    if (!takePendingChat(sender)) {
        qCInfo(lcControl) << "chat acceptance from" << sender << "ignored";
        return;
    }
    if (sendMessage(owner_, MSG_FIND_CHAT, sender, 0) != 1 && owner_) {
        sendMessage(owner_, MSG_OPEN_CHAT, sender, receivedText(d, CallDatagram::kNameOffset));
    }
}

int CControlChannel::showPrompt(const QString& text) {
    return showMessage_(text, QString(), CDlgMessage::Question);
}

void CControlChannel::showNotice(const QString& text, const QString& caption) {
    const QString key = caption + QChar(u'\n') + text;
    if (openNotices_.contains(key) || openNotices_.size() >= kMaxOpenNotices) {
        return;
    }
    openNotices_.append(key);
    QPointer<CControlChannel> self(this);
    showMessage_(text, caption, CDlgMessage::Notice);
    if (self) {
        openNotices_.removeOne(key);
    }
}

void CControlChannel::ring() {
    if (playSound_) {
        playSound_(kRingSound);
    }
}

QWidget* CControlChannel::dialogParent() const {
    return qobject_cast<QWidget*>(owner_.data());
}

void CControlChannel::showOwnerWindow() {
    if (QWidget* w = dialogParent(); w != nullptr && w->isHidden()) {
        w->show();
    }
}

}  // namespace kova
