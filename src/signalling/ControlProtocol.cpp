#include "signalling/ControlProtocol.h"

#include <QLoggingCategory>
#include <algorithm>

#include "common/DottedAddress.h"
#include "common/WindowMessages.h"
#include "contacts/ContactEntry.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcProtocol, "kova.signalling", QtWarningMsg)

QString dotted(std::uint32_t ipv4) {
    return keyText(contactKeyOf(ipv4));
}

QString noticeKey(const QString& text, const QString& caption) {
    return caption + QChar(u'\n') + text;
}
}  // namespace

ControlAction ControlAction::send(std::uint8_t command, const QString& address, bool reportErrors) {
    ControlAction a;
    a.command = command;
    a.address = address;
    a.reportErrors = reportErrors;
    return a;
}

ControlAction ControlAction::ask(int prompt, const QString& text, const QString& sender) {
    ControlAction a = of(Kind::Ask);
    a.prompt = prompt;
    a.text = text;
    a.address = sender;
    return a;
}

ControlAction ControlAction::notice(const QString& text, const QString& caption) {
    ControlAction a = of(Kind::Notice);
    a.text = text;
    a.caption = caption;
    return a;
}

ControlAction ControlAction::post(int message, QVariant first, QVariant second) {
    ControlAction a = of(Kind::Post);
    a.message = message;
    a.first = std::move(first);
    a.second = std::move(second);
    return a;
}

ControlAction ControlAction::deliver(int message, QVariant first, QVariant second) {
    ControlAction a = post(message, std::move(first), std::move(second));
    a.kind = Kind::Deliver;
    return a;
}

ControlAction ControlAction::of(Kind kind) {
    ControlAction a;
    a.kind = kind;
    return a;
}

void ControlProtocol::call(const QString& address) {
    peerAddress_ = address;
    callCancelled_ = false;
    if (state_ != State::InCall) {
        state_ = State::Calling;
    }
}

void ControlProtocol::cancelCall() {
    if (state_ == State::Calling) {
        state_ = State::Idle;
        callCancelled_ = true;
    }
}

void ControlProtocol::chatRequested(const QString& address, qint64 now) {
    pendingChats_.removeIf([&](const auto& p) { return p.first == address || p.second < now; });
    if (pendingChats_.size() >= kMaxPendingChats) {
        pendingChats_.removeFirst();
    }
    pendingChats_.append({address, now + kPendingChatMs});
}

bool ControlProtocol::takePendingChat(const QString& sender, qint64 now) {
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

bool ControlProtocol::hangUp() {
    if (state_ != State::InCall || peerAddress_.isEmpty()) {
        return false;
    }
    state_ = State::Idle;
    peer_ = CallDatagram{};
    return true;
}

void ControlProtocol::networkDown() {
    if (state_ == State::InCall) {
        state_ = State::Idle;
    }
}

bool ControlProtocol::fromPeer(std::uint32_t sourceIpv4) const {
    const auto peer = parseDottedIpv4(peerAddress_);
    return peer && *peer == sourceIpv4;
}

bool ControlProtocol::isContact(const QString& sender) const {
    return isContact_ && isContact_(sender);
}

ControlActions ControlProtocol::receive(const CallDatagram& d, std::uint32_t sourceIpv4,
                                        qint64 now) {
    ControlActions out;
    const QString sender = dotted(sourceIpv4);
    switch (d.command) {
        case CTL_BUSY:
            addNotice(QStringLiteral("User %1 has busy!").arg(sender), out);
            break;
        case CTL_CALL:
            onCall(d, sender, out);
            break;
        case CTL_HANGUP:
            // Anyone can send one; only the peer ends the conference.
            if (inCall() && fromPeer(sourceIpv4)) {
                state_ = State::Idle;
                out.push_back(ControlAction::post(MSG_PEER_HANGUP));
            }
            break;
        case CTL_ACCEPT:
            onAccept(d, sourceIpv4, sender, out);
            break;
        case CTL_REJECT:
            addNotice(QStringLiteral("User %1 has rejected your call!").arg(sender), out);
            break;
        case CTL_QUERY:
            out.push_back(ControlAction::send(inCall() ? CTL_ENGAGED : CTL_FREE, sender, true));
            break;
        case CTL_FREE:
        case CTL_ENGAGED:
            qCInfo(lcProtocol) << "presence of" << sender
                               << (d.command == CTL_FREE ? "free" : "engaged");
            // The value the contact list keys its contacts by.
            out.push_back(ControlAction::post(MSG_PRESENCE_REPLY, d.command == CTL_FREE ? 1 : 0,
                                              QVariant::fromValue<quint32>(contactKey(sender))));
            break;
        case CTL_FRAME_ACK:
            // A stranger's acks would pace our pictures for the peer.
            if (inCall() && fromPeer(sourceIpv4)) {
                out.push_back(ControlAction::of(ControlAction::Kind::FrameAck));
            }
            break;
        case CTL_CHAT:
            onChat(d, sender, out);
            break;
        case CTL_CHAT_CLOSED:
            out.push_back(ControlAction::deliver(MSG_CHAT_CLOSED, sender));
            break;
        case CTL_CHAT_ACCEPT:
            onChatAccept(d, sender, now, out);
            break;
        case CTL_CHAT_REJECT:
            takePendingChat(sender, now);
            addNotice(QStringLiteral("User %1 has rejected your chat call!").arg(fieldText(d.name)),
                      out);
            break;
        case CTL_MIC_DOWN:
        case CTL_MIC_UP:
            // Only the conference peer may move our microphone.
            if (inCall() && fromPeer(sourceIpv4)) {
                out.push_back(ControlAction::post(MSG_MIC_STEP, d.command == CTL_MIC_UP ? 1 : 0));
            }
            break;
        default:  // 123, 124
            break;
    }
    return out;
}

void ControlProtocol::onAccept(const CallDatagram& d, std::uint32_t sourceIpv4,
                               const QString& sender, ControlActions& out) {
    // Only the answer of the address we are still calling: a stranger's, or one
    // that comes after Disconnect or the time-out, would start capture and
    // streaming nobody asked for.
    if (state_ != State::Calling || !fromPeer(sourceIpv4)) {
        qCInfo(lcProtocol) << "acceptance from" << sender << "ignored";
        if (state_ == State::Idle && callCancelled_ && fromPeer(sourceIpv4)) {
            // The callee answered after we gave up: it would otherwise run a
            // conference with nobody until its user hangs up.
            callCancelled_ = false;
            out.push_back(ControlAction::send(CTL_HANGUP, sender, false));
        }
        return;
    }
    state_ = State::InCall;
    peer_ = d;
    out.push_back(ControlAction::deliver(MSG_START_CONFERENCE));
}

void ControlProtocol::onCall(const CallDatagram& d, const QString& sender, ControlActions& out) {
    if (inCall() && sender != peerAddress_) {
        out.push_back(ControlAction::send(CTL_BUSY, sender, true));
        return;
    }
    switch (mayAsk(sender)) {
        case Ask::AlreadyAsking:
            return;
        case Ask::Busy:
            // Unreported: a flood must not open error boxes either.
            out.push_back(ControlAction::send(CTL_BUSY, sender, false));
            return;
        case Ask::Yes:
            break;
    }
    openPrompt(false, d, sender,
               QStringLiteral("Do you want make video chat with:\n%1\nIP:%2?")
                   .arg(fieldText(d.name), sender),
               out);
}

void ControlProtocol::onChat(const CallDatagram& d, const QString& sender, ControlActions& out) {
    if (findChat_ && findChat_(sender)) {
        out.push_back(ControlAction::send(CTL_CHAT_ACCEPT, sender, true));
        return;
    }
    if (mayAsk(sender) != Ask::Yes) {
        return;
    }
    openPrompt(
        true, d, sender,
        QStringLiteral("Do you want make chat with:\n%1\nIP:%2?").arg(fieldText(d.name), sender),
        out);
}

void ControlProtocol::onChatAccept(const CallDatagram& d, const QString& sender, qint64 now,
                                   ControlActions& out) {
    // Only the answer to a request of ours: anyone else's would open windows at
    // will.
    if (!takePendingChat(sender, now)) {
        qCInfo(lcProtocol) << "chat acceptance from" << sender << "ignored";
        return;
    }
    if (!findChat_ || !findChat_(sender)) {
        out.push_back(ControlAction::deliver(MSG_OPEN_CHAT, sender, fieldText(d.name)));
    }
}

ControlProtocol::Ask ControlProtocol::mayAsk(const QString& sender) const {
    if (std::any_of(prompts_.begin(), prompts_.end(),
                    [&](const Prompt& p) { return p.sender == sender; })) {
        qCDebug(lcProtocol) << "request from" << sender << "ignored: prompt open";
        return Ask::AlreadyAsking;
    }
    if (openPrompts() >= kMaxOpenPrompts ||
        (!isContact(sender) && strangerPrompts_ >= kMaxStrangerPrompts)) {
        qCDebug(lcProtocol) << "request from" << sender << "refused: prompts full";
        return Ask::Busy;
    }
    return Ask::Yes;
}

void ControlProtocol::openPrompt(bool chat, const CallDatagram& d, const QString& sender,
                                 const QString& text, ControlActions& out) {
    Prompt p{nextPrompt_++, chat, !isContact(sender), sender, d};
    strangerPrompts_ += p.stranger ? 1 : 0;
    out.push_back(ControlAction::of(ControlAction::Kind::Ring));
    out.push_back(ControlAction::ask(p.id, text, sender));
    prompts_.push_back(std::move(p));
}

ControlActions ControlProtocol::promptAnswered(int prompt, bool accepted) {
    ControlActions out;
    const auto it = std::find_if(prompts_.begin(), prompts_.end(),
                                 [&](const Prompt& p) { return p.id == prompt; });
    if (it == prompts_.end()) {
        return out;
    }
    const Prompt p = std::move(*it);
    prompts_.erase(it);
    strangerPrompts_ -= p.stranger ? 1 : 0;
    if (p.chat) {
        chatAnswered(p, accepted, out);
    } else {
        callAnswered(p, accepted, out);
    }
    return out;
}

void ControlProtocol::callAnswered(const Prompt& p, bool accepted, ControlActions& out) {
    if (!accepted) {
        out.push_back(ControlAction::send(CTL_REJECT, p.sender, true));
        out.push_back(ControlAction::post(MSG_CALL_DECLINED));
        return;
    }
    if (inCall() && p.sender != peerAddress_) {
        // Another conference started while this question was open.
        out.push_back(ControlAction::send(CTL_BUSY, p.sender, false));
        return;
    }
    peerAddress_ = p.sender;
    peerName_ = fieldText(p.datagram.name);
    state_ = State::InCall;
    peer_ = p.datagram;
    // The conference goes on even when this send fails.
    out.push_back(ControlAction::send(CTL_ACCEPT, p.sender, true));
    out.push_back(ControlAction::of(ControlAction::Kind::ShowOwner));
    out.push_back(ControlAction::deliver(MSG_START_CONFERENCE));
}

void ControlProtocol::chatAnswered(const Prompt& p, bool accepted, ControlActions& out) {
    if (!accepted) {
        out.push_back(ControlAction::send(CTL_CHAT_REJECT, p.sender, true));
        return;
    }
    const QString name = fieldText(p.datagram.name);
    out.push_back(ControlAction::send(CTL_CHAT_ACCEPT, p.sender, true));
    out.push_back(ControlAction::deliver(MSG_CHAT_CONTACT,
                                         QStringList{name, fieldText(p.datagram.email)}, p.sender));
    out.push_back(ControlAction::of(ControlAction::Kind::ShowOwner));
    out.push_back(ControlAction::deliver(MSG_OPEN_CHAT, p.sender, name));
}

void ControlProtocol::addNotice(const QString& text, ControlActions& out) {
    if (openNotice(text, QString())) {
        out.push_back(ControlAction::notice(text));
    }
}

bool ControlProtocol::openNotice(const QString& text, const QString& caption) {
    const QString key = noticeKey(text, caption);
    if (notices_.contains(key) || notices_.size() >= kMaxOpenNotices) {
        return false;
    }
    notices_.append(key);
    return true;
}

void ControlProtocol::noticeClosed(const QString& text, const QString& caption) {
    notices_.removeOne(noticeKey(text, caption));
}

}  // namespace kova
