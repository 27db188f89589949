// The main window's routing: window messages from the other parts, the
// commands of its buttons and menus, and the tray icon's mouse.

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/ConferenceMedia.h"
#include "app/MainDlg.h"
#include "audio/VolumeSlider.h"
#include "chat/ChatWindows.h"
#include "common/WindowMessages.h"
#include "config/ProgramPaths.h"
#include "contacts/ContactBook.h"
#include "contacts/ListContact.h"
#include "signalling/ControlChannel.h"
#include "ui/HoverButton.h"
#include "ui/TrayIcon.h"

namespace kova {

bool CMainDlg::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type < QEvent::User) {
        return QDialog::event(event);
    }
    auto* m = static_cast<WindowMessage*>(event);
    switch (type) {
        case MSG_TRAY_NOTIFY:
            onTrayNotify(m->second.toInt());
            return true;
        case MSG_PRESENCE_REPLY:
            postMessage(list_, MSG_PRESENCE_REPLY, m->first, m->second);
            m->result = 0;
            return true;
        case MSG_REMOTE_MIC:
            control_->sendMicStep(m->first.toInt() != 0);
            return true;
        case MSG_MIC_STEP:
            micSlider_->Step(m->first.toInt() != 0);
            return true;
        case MSG_SELECT_VIDEO_SOURCE:
            startLocalVideo(m->first.toInt());
            return true;
        case MSG_OPEN_CHAT:
        case MSG_FIND_CHAT:
        case MSG_CHAT_CLOSED:
            return chats_->handleMessage(*m) || QDialog::event(event);
        case MSG_CHAT_CONTACT:
            if (m->second.toString() != ContactBook::kLoopback) {
                const QStringList nameAndMail = m->first.toStringList();
                contacts_->lookUpOrAdd(nameAndMail.value(0), nameAndMail.value(1),
                                       m->second.toString());
            }
            return true;
        case MSG_CONTACT_ACTIVATED:
            if (m->first.value<void*>() == list_) {
                onCommand(ID_START_CHAT);
            }
            m->result = 1;
            return true;
        default:
            if (conference_ && handleConferenceMessage(type)) {
                return true;
            }
            return QDialog::event(event);
    }
}

bool CMainDlg::handleConferenceMessage(int number) {
    switch (number) {
        case MSG_CALL_TIMEOUT:
            conference_->onCallTimeout();
            return true;
        case MSG_CALL_DECLINED:
            conference_->onCallDeclined();
            return true;
        case MSG_START_CONFERENCE:
            conference_->startConference();
            return true;
        case MSG_LOCAL_HANGUP:
            conference_->hangUp();
            return true;
        case MSG_PEER_HANGUP:
            conference_->onPeerHangUp();
            return true;
        case MSG_REMOTE_MIC:
            return true;
        default:
            return false;
    }
}

void CMainDlg::openHelp() {
    if (helpBusy_) {
        return;
    }
    helpBusy_ = true;
    const QString page = findAsset(setup_.programFolder, QStringLiteral("Help/HelpKova.htm"));
    if (!page.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    }
    helpBusy_ = false;
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The band's menu stands in for the system menu a framed window has.
    if (event->pos().y() >= bandHeight()) {
        return;
    }
    QMenu menu(this);
    fillMenu(menu, bandMenuCommands());
    menu.exec(event->globalPos());
}

QList<int> CMainDlg::bandMenuCommands() const {
    QList<int> commands{ID_SYSTEM_ABOUT};
    if (!tray_->hasSystemTray()) {
        commands << ID_APP_EXIT;
    }
    return commands;
}

QList<int> CMainDlg::trayMenuCommands() const {
    QList<int> commands{ID_APP_ABOUT, 0};
    if (!isVisible() || isMinimized()) {
        commands << ID_RESTORE;
    }
    commands << ID_APP_EXIT;
    return commands;
}

void CMainDlg::fillMenu(QMenu& menu, const QList<int>& commands) {
    for (int command : commands) {
        QString text;
        switch (command) {
            case ID_SYSTEM_ABOUT:
                text = tr("&About KOVA...");
                break;
            case ID_APP_ABOUT:
                text = tr("&About");
                break;
            case ID_RESTORE:
                text = tr("&Restore");
                break;
            case ID_APP_EXIT:
                text = tr("&Exit");
                break;
            default:
                menu.addSeparator();
                continue;
        }
        menu.addAction(text, this, [this, command] { onCommand(command); });
    }
}

void CMainDlg::createTrayMenu() {
    trayMenu_ = new QMenu(this);
    fillMenu(*trayMenu_, {ID_APP_ABOUT, 0, ID_RESTORE, ID_APP_EXIT});
    trayRestore_ = trayMenu_->actions().at(2);
    connect(trayMenu_, &QMenu::aboutToShow, this, &CMainDlg::updateTrayMenu);
    updateTrayMenu();
    tray_->setMenu(trayMenu_);
}

void CMainDlg::updateTrayMenu() {
    if (trayRestore_ != nullptr) {
        trayRestore_->setVisible(trayMenuCommands().contains(ID_RESTORE));
    }
}

void CMainDlg::onTrayNotify(int mouseMessage) {
    if (quitFlag_) {
        return;
    }
    if (mouseMessage == CTrayIcon::kLeftButtonDown) {
        restore();
        return;
    }
    if (mouseMessage != CTrayIcon::kLeftButtonDoubleClick &&
        mouseMessage != CTrayIcon::kRightButtonDown) {
        return;
    }
    QMenu menu;
    fillMenu(menu, trayMenuCommands());
    menu.exec(QCursor::pos());
}

void CMainDlg::onCommand(int command) {
    switch (command) {
        case ID_PROFILE:
            editProfile();
            break;
        case ID_NEW:
            contacts_->add();
            updateContactButtons();
            break;
        case ID_EDIT:
        case ID_EDIT_CONTACT:
            contacts_->edit();
            break;
        case ID_DELETE:
        case ID_REMOVE_CONTACT:
            contacts_->remove();
            updateContactButtons();
            break;
        case ID_HELP:
            openHelp();
            break;
        case ID_PROPERTIES:
            if (buttons_[ID_PROPERTIES]->isEnabled()) {
                showDevicesProperties();
            }
            break;
        case ID_CONNECT:
        case ID_START_CONFERENCE:
            if (buttons_[ID_CONNECT]->isEnabled()) {
                conference_->startCall();
            }
            break;
        case ID_DISCONNECT:
            sendMessage(this, MSG_CALL_DECLINED);
            break;
        case ID_CHAT:
        case ID_START_CHAT:
            if (buttons_[ID_CHAT]->isEnabled()) {
                if (const auto contact = list_->Current()) {
                    chats_->StartChat(*control_, contact->name, contact->sendAddr);
                }
            }
            break;
        case ID_CLOSE:
            postCloseRequest();
            break;
        case ID_APP_ABOUT:
        case ID_SYSTEM_ABOUT:
            showAbout();
            break;
        case ID_RESTORE:
            if (!isVisible() || isMinimized()) {
                restore();
            }
            break;
        case ID_APP_EXIT:
            exitProgram();
            break;
        default:
            break;
    }
}

void CMainDlg::showAbout() {
    if (aboutDlg_) {
        return;
    }
    CAboutDlg dlg(this);
    aboutDlg_ = &dlg;
    dlg.exec();
}

}  // namespace kova
