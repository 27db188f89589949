#include "signalling/ControlChannel.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>

#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "platform/UdpSocket.h"
#include "signalling/ControlPrompts.h"
#include "signalling/SocketErrorText.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcControl, "kova.signalling", QtWarningMsg)

void setField(CallDatagram::TextField& field, const QString& text) {
    field.setText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                      static_cast<std::size_t>(text.size())));
}

qint64 nowMs() {
    return QDeadlineTimer::current().deadline();
}

// The message dialog's numbers a ShowMessage function speaks.
constexpr int kNoticeType = 0;
constexpr int kQuestionType = 3;
constexpr int kAccepted = 1;

class FunctionPrompts : public IControlPrompts {
public:
    FunctionPrompts(CControlChannel::ShowMessage show, std::unique_ptr<IControlPrompts> window)
        : show_(std::move(show)), window_(std::move(window)) {}

    void ask(const QString& text, const QString&, std::function<void(bool)> done) override {
        done(show_(text, QString(), kQuestionType) == kAccepted);
    }
    void notice(const QString& text, const QString& caption,
                std::function<void()> closed) override {
        show_(text, caption, kNoticeType);
        closed();
    }
    void showMainWindow() override {
        if (window_) {
            window_->showMainWindow();
        }
    }

private:
    CControlChannel::ShowMessage show_;
    std::unique_ptr<IControlPrompts> window_;
};
}  // namespace

CControlChannel::CControlChannel(PlaySound playSound, IBalloonReporter* balloons, QObject* parent)
    : QObject(parent),
      playSound_(std::move(playSound)),
      balloons_(balloons),
      socket_(new UdpSocket(this)) {
    protocol_.setFindChat([this](const QString& sender) { return findChat(sender); });
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
        setField(own_.name, name);
    }
    if (!email.isNull()) {
        setField(own_.email, email);
    }
}

void CControlChannel::setCallParameters(const CallParameters& parameters) {
    own_.parameters = parameters;
}

void CControlChannel::setPrompts(std::unique_ptr<IControlPrompts> prompts) {
    prompts_ = std::move(prompts);
}

void CControlChannel::setShowMessage(ShowMessage show) {
    prompts_ = std::make_unique<FunctionPrompts>(std::move(show), std::move(prompts_));
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
        CallDatagram d = own_;
        d.command = command;
        error = socket_->sendTo(d.encode(), address, kPort);
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
        if (protocol_.openNotice(text, kSendErrorCaption)) {
            present(text, kSendErrorCaption);
        }
    }
    return false;
}

bool CControlChannel::call(const QString& address) {
    protocol_.call(address);
    return Send(CTL_CALL, address, true);
}

void CControlChannel::cancelCall() {
    protocol_.cancelCall();
}

bool CControlChannel::requestChat(const QString& address) {
    if (!Send(CTL_CHAT, address, true)) {
        return false;
    }
    protocol_.chatRequested(address, nowMs());
    return true;
}

void CControlChannel::hangUp() {
    // Ended before the send, so whatever its failure notice leads to already
    // sees the conference as over.
    if (protocol_.hangUp()) {
        Send(CTL_HANGUP, protocol_.peerAddress(), true);
    }
}

void CControlChannel::sendFrameAck() {
    Send(CTL_FRAME_ACK, protocol_.peerAddress(), false);
}

void CControlChannel::sendMicStep(bool raise) {
    if (inCall()) {
        Send(raise ? CTL_MIC_UP : CTL_MIC_DOWN, protocol_.peerAddress(), false);
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
        protocol_.networkDown();
    }
    std::array<std::byte, CallDatagram::kSize> buffer{};
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
    if (sourcePort != kPort || !owner_) {
        return;
    }
    if (const auto d = CallDatagram::decodeReceived(datagram)) {
        run(protocol_.receive(*d, sourceIpv4, nowMs()));
    }
}

bool CControlChannel::findChat(const QString& sender) {
    return owner_ && sendMessage(owner_, MSG_FIND_CHAT, sender, 0) == 1;
}

void CControlChannel::run(const ControlActions& actions) {
    using Kind = ControlAction::Kind;
    for (const ControlAction& a : actions) {
        switch (a.kind) {
            case Kind::Send:
                Send(a.command, a.address, a.reportErrors);
                break;
            case Kind::Ring:
                if (playSound_) {
                    playSound_(kRingSound);
                }
                break;
            case Kind::Ask:
                ask(a);
                break;
            case Kind::Notice:
                present(a.text, a.caption);
                break;
            case Kind::Post:
                if (owner_) {
                    postMessage(owner_, a.message, a.first, a.second);
                }
                break;
            case Kind::Deliver:
                if (owner_) {
                    sendMessage(owner_, a.message, a.first, a.second);
                }
                break;
            case Kind::ShowOwner:
                if (owner_ && prompts_) {
                    prompts_->showMainWindow();
                }
                break;
            case Kind::FrameAck:
                frameAck_ = true;
                emit frameAcknowledged();
                break;
        }
    }
}

void CControlChannel::ask(const ControlAction& a) {
    if (!prompts_) {
        run(protocol_.promptAnswered(a.prompt, false));
        return;
    }
    // The channel may be gone by the time the question closes.
    prompts_->ask(a.text, a.address, [self = QPointer(this), id = a.prompt](bool accepted) {
        if (self) {
            self->run(self->protocol_.promptAnswered(id, accepted));
        }
    });
}

void CControlChannel::present(const QString& text, const QString& caption) {
    if (!prompts_) {
        protocol_.noticeClosed(text, caption);
        return;
    }
    prompts_->notice(text, caption, [self = QPointer(this), text, caption] {
        if (self) {
            self->protocol_.noticeClosed(text, caption);
        }
    });
}

}  // namespace kova
