#include "chat/ChatWindows.h"

#include "chat/ChatChannel.h"
#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"

namespace kova {

CChatWindows::CChatWindows(CChatChannel& channel, AvSettings& settings, QWidget* mainWindow,
                           IBalloonReporter* balloons, QObject* parent)
    : QObject(parent),
      channel_(channel),
      settings_(settings),
      mainWindow_(mainWindow),
      balloons_(balloons) {
    // No nested loop: the notice must not hold up the caller's handler.
    showMessage_ = [this](const QString& text, int type) {
        CDlgMessage::open(text, QString(), type, mainWindow_, {});
        return int(CDlgMessage::Cancel);
    };
}

CChatWindows::~CChatWindows() {
    closeAll();
}

QString CChatWindows::connectErrorText(const QString& name, const QString& address) {
    return QStringLiteral("Error connect to %1, %2!").arg(name, address);
}

QString CChatWindows::openBalloonText(const QString& name, const QString& address) {
    return QStringLiteral(":)\n") + name + QStringLiteral("\n") + address;
}

CChatDlg* CChatWindows::Open(const QString& peerName, const QString& peerAddress) {
    const QString address = CChatChannel::keyOf(peerAddress);
    if (channel_.FindAndShow(address)) {
        return dynamic_cast<CChatDlg*>(channel_.Find(address));
    }
    auto* dlg =
        new CChatDlg(&channel_, ownName_, peerName, address, settings_, mainWindow_, balloons_);
    if (offerFile_) {
        dlg->setFileOffer(offerFile_);
    }
    dlg->show();
    channel_.Register(dlg, address);
    windows_.removeAll(nullptr);
    windows_.append(dlg);
    return dlg;
}

CChatDlg* CChatWindows::StartChat(CControlChannel& control, const QString& name,
                                  const QString& address) {
    if (!control.requestChat(address)) {
        showMessage_(connectErrorText(name, address), CDlgMessage::Notice);
    }
    return Open(name, address);
}

bool CChatWindows::handleMessage(WindowMessage& m) {
    switch (m.number()) {
        case MSG_OPEN_CHAT: {
            const QString address = m.first.toString();
            const QString name = m.second.toString();
            Open(name, address);
            if (balloons_ != nullptr) {
                balloons_->ShowBalloon(openBalloonText(name, address));
            }
            m.result = 0;
            return true;
        }
        case MSG_FIND_CHAT:
            m.result = channel_.FindAndShow(m.first.toString()) ? 1 : 0;
            return true;
        case MSG_CHAT_CLOSED:
            channel_.PeerClosed(m.first.toString());
            m.result = 0;
            return true;
        default:
            return false;
    }
}

QList<CChatDlg*> CChatWindows::windows() const {
    QList<CChatDlg*> out;
    for (const auto& w : windows_) {
        if (w) {
            out.append(w);
        }
    }
    return out;
}

void CChatWindows::closeAll() {
    for (CChatDlg* w : windows()) {
        w->close();
    }
    windows_.clear();
}

}  // namespace kova
