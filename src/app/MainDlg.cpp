#include "app/MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "app/AboutDlg.h"
#include "common/WindowMessages.h"
#include "config/ProgramPaths.h"
#include "contacts/PofileDlg.h"
#include "platform/SingleInstance.h"
#include "signalling/DlgMessage.h"
#include "ui/Pictures.h"
#include "ui/StartSplash.h"
#include "ui/TrayIcon.h"

namespace kova {

namespace {
const QColor kBackground(129, 180, 233);
const QString kAvSettingsFile = QStringLiteral("avset.cfg");
const QString kContactsFile = QStringLiteral("clset.cfg");
}  // namespace

CMainDlg::CMainDlg(MainDlgSetup setup, std::uint16_t maxUdpDatagram, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      maxUdpDatagram_(maxUdpDatagram),
      settings_(loadAvSettings(joinPath(setup_.programFolder, kAvSettingsFile))),
      profileStore_(setup_.profile) {
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    tray_ = new CTrayIcon(this);
}

CMainDlg::~CMainDlg() {
    tray_->Remove();
    delete splash_;
    saveAvSettings(joinPath(setup_.programFolder, kAvSettingsFile), settings_);
}

bool CMainDlg::initialise() {
    splash_ = new CStartSplash;
    splash_->Create();

    singleInstance_ = new SingleInstance(setup_.instanceKey, this);
    connect(singleInstance_, &SingleInstance::activationRequested, this, &CMainDlg::restore);
    if (singleInstance_->claim() == SingleInstance::Result::OtherActivated) {
        quitFlag_ = true;
        closeSplash();
        return false;
    }

    setWindowTitle(kTitle);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    auto* banner = new QLabel(tr("KOVA"), this);
    banner->setAlignment(Qt::AlignCenter);
    layout->addWidget(banner);
    resize(640, 400);

    contactStore_.setPath(joinPath(setup_.programFolder, kContactsFile));

    setWindowIcon(QIcon(picture(kIcon)));
    tray_->Add(this, kIcon, kTrayTooltip);

    show();
    const bool keepRunning = checkProfile();
    closeSplash();
    return keepRunning;
}

void CMainDlg::closeSplash() {
    if (splash_ != nullptr) {
        splash_->Close();
    }
}

bool CMainDlg::checkProfile() {
    if (profileStore_.load(profile_)) {
        return true;
    }
    closeSplash();
    editProfile();
    if (quitFlag_) {  // the session ended while the dialog was open
        return true;
    }
    if (profileStore_.load(profile_)) {
        return true;
    }
    CDlgMessage::show(tr("Please set User Name and ID on next application run."), QString(),
                      CDlgMessage::Warning, this);
    quitFlag_ = true;
    postCloseRequest();
    return true;
}

bool CMainDlg::editProfile() {
    CPofileDlg dlg(profile_.name, profile_.email, QString(), this);
    profileDlg_ = &dlg;
    const bool accepted = dlg.exec() == QDialog::Accepted;
    profileDlg_ = nullptr;
    if (accepted) {
        profile_.name = dlg.name();
        profile_.email = dlg.mail();
        profileStore_.save(profile_);
    }
    return accepted;
}

void CMainDlg::restore() {
    showNormal();
    raise();
    activateWindow();
}

void CMainDlg::ShowBalloon(const QString& text) {
    tray_->ShowBalloon(text);
}

bool CMainDlg::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(MSG_TRAY_NOTIFY)) {
        onTrayNotify(static_cast<WindowMessage*>(event)->second.toInt());
        return true;
    }
    return QDialog::event(event);
}

QList<int> CMainDlg::trayMenuCommands() const {
    QList<int> commands{ID_APP_ABOUT, 0};
    if (!isVisible()) {
        commands << ID_RESTORE;
    }
    commands << ID_APP_EXIT;
    return commands;
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
    for (int command : trayMenuCommands()) {
        switch (command) {
            case ID_APP_ABOUT:
                menu.addAction(tr("&About"), this, [this] { onCommand(ID_APP_ABOUT); });
                break;
            case ID_RESTORE:
                menu.addAction(tr("&Restore"), this, [this] { onCommand(ID_RESTORE); });
                break;
            case ID_APP_EXIT:
                menu.addAction(tr("&Exit"), this, [this] { onCommand(ID_APP_EXIT); });
                break;
            default:
                menu.addSeparator();
        }
    }
    menu.exec(QCursor::pos());
}

void CMainDlg::onCommand(int command) {
    switch (command) {
        case ID_APP_ABOUT:
            showAbout();
            break;
        case ID_RESTORE:
            if (!isVisible()) {
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

void CMainDlg::endSession() {
    hangUp();
    quitFlag_ = true;
    close();
}

void CMainDlg::exitProgram() {
    hangUp();
    quitFlag_ = true;
    postCloseRequest();
}

void CMainDlg::hangUp() {
    conferenceActive_ = false;
}

void CMainDlg::postCloseRequest() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainDlg::reject() {
    if (quitFlag_) {
        close();
    } else {
        postCloseRequest();
    }
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (!quitFlag_) {
        event->ignore();
        hide();
        return;
    }
    runQuitSequence();
    event->accept();
    emit ended();
}

void CMainDlg::runQuitSequence() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    hide();
    if (conferenceActive_) {
        hangUp();
    }
    if (profileDlg_) {
        profileDlg_->reject();
    }
    if (aboutDlg_) {
        aboutDlg_->reject();
    }
    CDlgMessage::closeAll();
    QApplication::restoreOverrideCursor();
}

}  // namespace kova
