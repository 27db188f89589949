#include "app/MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "config/ProgramPaths.h"
#include "contacts/PofileDlg.h"
#include "platform/SingleInstance.h"
#include "signalling/DlgMessage.h"

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
}

CMainDlg::~CMainDlg() {
    saveAvSettings(joinPath(setup_.programFolder, kAvSettingsFile), settings_);
}

bool CMainDlg::initialise() {
    singleInstance_ = new SingleInstance(setup_.instanceKey, this);
    connect(singleInstance_, &SingleInstance::activationRequested, this, &CMainDlg::restore);
    if (singleInstance_->claim() == SingleInstance::Result::OtherActivated) {
        quitFlag_ = true;
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

    show();
    return checkProfile();
}

bool CMainDlg::checkProfile() {
    if (profileStore_.load(profile_)) {
        return true;
    }
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
    CDlgMessage::closeAll();
    QApplication::restoreOverrideCursor();
}

}  // namespace kova
