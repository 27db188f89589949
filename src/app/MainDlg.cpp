#include "app/MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QScreen>

#include "app/AboutDlg.h"
#include "app/ConferenceMedia.h"
#include "audio/PropertiesDlg.h"
#include "audio/SoundPlayer.h"
#include "audio/WaveFormat.h"
#include "chat/ChatChannel.h"
#include "chat/ChatWindows.h"
#include "common/WindowMessages.h"
#include "config/ProgramPaths.h"
#include "contacts/ContactBook.h"
#include "contacts/ContactDlg.h"
#include "contacts/Imagetxt.h"
#include "contacts/ListContact.h"
#include "contacts/PofileDlg.h"
#include "platform/LocalAddresses.h"
#include "platform/SingleInstance.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"
#include "signalling/PresencePoll.h"
#include "transfer/FileListener.h"
#include "ui/HoverButton.h"
#include "ui/Pictures.h"
#include "ui/StartSplash.h"
#include "ui/TrayIcon.h"
#include "video/LocalVideo.h"
#include "video/ShowWnd.h"

namespace kova {

namespace {
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
    // The window draws its own band and close button.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    tray_ = new CTrayIcon(this);
    soundPlayer_ = std::make_unique<CSoundPlayer>();
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
    createControls();
    control_ = new CControlChannel([this](const QString& relative) { PlayProgramSound(relative); },
                                   this, this);
    control_->create(setup_.bindAddress);
    chat_ = new CChatChannel(setup_.bindAddress, this);
    chats_ = std::make_unique<CChatWindows>(*chat_, settings_, this, this);
    files_ = std::make_unique<CFileListener>(
        [this](const QString& address) { return chat_->FindAndShow(address); }, this);
    files_->create(setup_.bindAddress);
    chats_->setFileOffer(
        [this](const QString& path, const QString& fileName, const QString& peerAddress) {
            files_->SendFile(peerAddress, path, fileName);
        });

    contactStore_.setPath(joinPath(setup_.programFolder, kContactsFile));
    contacts_ = std::make_unique<ContactBook>(*list_, contactStore_, this);
    contacts_->load();
    updateContactButtons();

    setWindowIcon(QIcon(picture(kIcon)));
    tray_->Add(this, kIcon, kTrayTooltip);

    media_ = std::make_unique<ConferenceMedia>(
        ConferenceMedia::Setup{this, this, &settings_, control_, setup_.programFolder,
                               setup_.bindAddress, maxUdpDatagram_});
    media_->setUpAudio();
    rebuildCallParameters();
    ICallControls& controls = *this;
    conference_ = std::make_unique<CConferenceController>(*control_, *list_, *contacts_, *media_,
                                                          controls, *this, this);
    presence_ = std::make_unique<PresencePoll>(
        [this](int i) { return list_->PollStep(i); },
        [this](const QString& address) { control_->queryPresence(address); });

    media_->setPreview(new CShowWnd(videoArea_));
    updateStatusPanel();
    layoutControls();
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }

    show();
    const bool keepRunning = checkProfile();
    if (!quitFlag_) {
        selectVideoSource(true);
        control_->setOwner(this, profile_.name, profile_.email);
        chats_->setOwnName(profile_.name);
        presence_->start();
    }
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
    CPofileDlg dlg(profile_.name, profile_.email, LocalAddresses(), this);
    profileDlg_ = &dlg;
    const bool accepted = dlg.exec() == QDialog::Accepted;
    profileDlg_ = nullptr;
    if (accepted) {
        profile_.name = dlg.name();
        profile_.email = dlg.mail();
        profileStore_.save(profile_);
        if (control_ != nullptr) {
            control_->setIdentity(profile_.name, profile_.email);
            chats_->setOwnName(profile_.name);
        }
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

CHoverButton* CMainDlg::button(int command) const {
    return buttons_.value(command);
}

bool CMainDlg::conferenceActive() const {
    return conference_ && conference_->running();
}

void CMainDlg::updateContactButtons() {
    const bool enable = list_->Current().has_value() && !conferenceActive();
    for (int c : {ID_EDIT, ID_DELETE, ID_CONNECT, ID_CHAT}) {
        buttons_[c]->setEnabled(enable);
    }
}

void CMainDlg::rebuildCallParameters() {
    localCall_ = media_->callParameters();
    control_->setCallParameters(localCall_);
}

void CMainDlg::startLocalVideo(int device) {
    media_->startLocalVideo(device);
    rebuildCallParameters();
    layoutControls();
    updateStatusPanel();
}

void CMainDlg::PlayProgramSound(const QString& relative) {
    const QString path = findAsset(setup_.programFolder, relative);
    if (!path.isEmpty()) {
        soundPlayer_->play(path);
    }
}

void CMainDlg::hideEvent(QHideEvent* event) {
    if (media_ && !conferenceActive()) {
        media_->pauseLocalVideo();
    }
    QDialog::hideEvent(event);
}

void CMainDlg::showEvent(QShowEvent* event) {
    if (media_ && !conferenceActive()) {
        media_->resumeLocalVideo();
    }
    QDialog::showEvent(event);
}

void CMainDlg::showWaiting() {
    buttons_[ID_CONNECT]->setEnabled(false);
    buttons_[ID_CONNECT]->hide();
    buttons_[ID_DISCONNECT]->show();
    buttons_[ID_PROPERTIES]->setEnabled(false);
    list_->SetBusyMark(true);
}

void CMainDlg::showIdle() {
    buttons_[ID_DISCONNECT]->hide();
    buttons_[ID_CONNECT]->show();
    buttons_[ID_CONNECT]->setEnabled(true);
    buttons_[ID_PROPERTIES]->setEnabled(true);
    list_->SetBusyMark(false);
}

void CMainDlg::showRunning() {
    buttons_[ID_CONNECT]->show();
    buttons_[ID_DISCONNECT]->hide();
    buttons_[ID_CONNECT]->setEnabled(false);
    buttons_[ID_PROPERTIES]->setEnabled(false);
    list_->SetBusyMark(true);
    presence_->stop();
    updateContactButtons();
}

void CMainDlg::showEnded() {
    buttons_[ID_CONNECT]->setEnabled(true);
    buttons_[ID_PROPERTIES]->setEnabled(true);
    list_->SetBusyMark(false);
    updateContactButtons();
    presence_->start();
}

void CMainDlg::showError(const QString& text) {
    QMessageBox::critical(this, windowTitle(), text);
}

QString CMainDlg::videoStatusLine(std::uint32_t fourCC, int width, int height) {
    QString codec;
    for (int i = 0; i < 4; ++i) {
        codec += QChar(static_cast<char16_t>((fourCC >> (8 * i)) & 0xFF));
    }
    return QStringLiteral("Video: codec %1, resolution %2x%3, 24 bits")
        .arg(codec)
        .arg(width)
        .arg(height);
}

QString CMainDlg::audioStatusLine(const QString& codecName) {
    return QStringLiteral("Audio: codec %1, 8000 Herz").arg(codecName);
}

void CMainDlg::updateStatusPanel() {
    statusPanel_->SetLines(videoStatusLine(localCall_.compressorFourCC, localCall_.video.width,
                                           std::abs(localCall_.video.height)),
                           audioStatusLine(media_->audioCodecName()));
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
    if (conference_) {
        conference_->hangUp();
    }
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
    if (presence_) {
        presence_->stop();
        presence_->setClosing();
    }
    if (files_) {
        files_->stopAndWait();
    }
    hangUp();
    if (profileDlg_) {
        profileDlg_->reject();
    }
    if (aboutDlg_) {
        aboutDlg_->reject();
    }
    if (devicesDlg_) {
        devicesDlg_->reject();
    }
    if (contacts_ && contacts_->openDialog() != nullptr) {
        contacts_->openDialog()->reject();
    }
    if (chats_) {
        chats_->closeAll();
    }
    CDlgMessage::closeAll();
    QApplication::restoreOverrideCursor();
}

}  // namespace kova
