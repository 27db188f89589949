#include "app/MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScreen>

#include "app/AboutDlg.h"
#include "app/ConferenceMedia.h"
#include "app/DlgMessagePrompts.h"
#include "audio/PropertiesDlg.h"
#include "audio/SoundPlayer.h"
#include "chat/ChatChannel.h"
#include "chat/ChatDlg.h"
#include "chat/ChatWindows.h"
#include "common/WindowMessages.h"
#include "config/OwnSettings.h"
#include "config/ProgramPaths.h"
#include "contacts/ContactBook.h"
#include "contacts/ContactDlg.h"
#include "contacts/ContactEntry.h"
#include "contacts/Imagetxt.h"
#include "contacts/ListContact.h"
#include "contacts/PofileDlg.h"
#include "formats/WaveFormat.h"
#include "media/MediaSocket.h"
#include "platform/LocalAddresses.h"
#include "platform/SingleInstance.h"
#include "platform/SocketErrors.h"
#include "platform/UdpSocket.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"
#include "signalling/PortMappingService.h"
#include "signalling/PresencePoll.h"
#include "signalling/SocketErrorText.h"
#include "transfer/FileListener.h"
#include "ui/HoverButton.h"
#include "ui/Pictures.h"
#include "ui/StartSplash.h"
#include "ui/TrayIcon.h"
#include "ui/WaitPopup.h"
#include "video/LocalVideo.h"
#include "video/ShowWnd.h"

namespace kova {

Q_LOGGING_CATEGORY(lcApp, "kova.app", QtWarningMsg)

namespace {
const QString kAvSettingsFile = QStringLiteral("avset.cfg");
const QString kContactsFile = QStringLiteral("clset.cfg");
const QString kWriteFailed = QStringLiteral("Could not save %1:\n%2\nThe file keeps what it held.");
const QString kPortsFailed =
    QStringLiteral("KOVA cannot use these ports, so calls may not reach it:\n\n%1");
const QString kPortInUse = QStringLiteral("Another program already uses this port.");
const QString kPortError = QStringLiteral("Socket error %1.");

QString portReason(int error) {
    QString text;
    SocketErrorText(text, error);
    if (!text.isEmpty()) {
        return text;
    }
    return error == kWsaAddrInUse ? kPortInUse : kPortError.arg(error);
}

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
    saveSettings();
}

void CMainDlg::saveSettings() {
    if (savedSettings_ == settings_) {
        return;
    }
    const QString path = joinPath(setup_.programFolder, kAvSettingsFile);
    if (const FileReplaceResult result = saveAvSettings(path, settings_); !result) {
        reportWriteFailure(path, result.reason);
        return;
    }
    savedSettings_ = settings_;
}

void CMainDlg::reportWriteFailure(const QString& path, const QString& reason) {
    qCWarning(lcApp).noquote() << "could not save" << path << "-" << reason;
    // A full disk fails every write after the first: one message is enough. While
    // the session ends nobody can answer a box, and the program must go.
    if (writeFailureTold_ || sessionEnding_ || ended_) {
        return;
    }
    writeFailureTold_ = true;
    const QString text = kWriteFailed.arg(QDir::toNativeSeparators(path), reason);
    if (quitFlag_) {
        // The program ends right after: the box has to wait for the user.
        QMessageBox::warning(nullptr, kTitle, text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QStringList CMainDlg::checkPorts(int controlError, int filesError) const {
    // The chat and media sockets bind later, when first needed; trying their ports
    // now tells the user before a call fails for it.
    auto tryUdp = [this](std::uint16_t port) {
        UdpSocket probe;
        const int error = probe.open(port, setup_.bindAddress);
        probe.close();
        return error;
    };
    struct Use {
        const char* protocol;
        std::uint16_t port;
        int error;
    };
    const Use uses[] = {
        {"UDP", CControlChannel::kPort, controlError},
        {"UDP", CMediaSocket::kVideoPort, tryUdp(CMediaSocket::kVideoPort)},
        {"UDP", CMediaSocket::kAudioPort, tryUdp(CMediaSocket::kAudioPort)},
        {"UDP", CChatChannel::kPort, chat_->isOpen() ? 0 : tryUdp(CChatChannel::kPort)},
        {"TCP", CFileListener::kPort, filesError},
    };
    QStringList problems;
    for (const Use& use : uses) {
        if (use.error != 0) {
            problems << QStringLiteral("%1 %2: %3")
                            .arg(QLatin1String(use.protocol))
                            .arg(use.port)
                            .arg(portReason(use.error));
        }
    }
    return problems;
}

void CMainDlg::reportPortProblems(const QStringList& problems) {
    if (problems.isEmpty()) {
        return;
    }
    qCWarning(lcApp).noquote() << "ports not usable:" << problems.join(QStringLiteral("; "));
    // Not modal: presence and everything else that works goes on meanwhile.
    auto* box = new QMessageBox(QMessageBox::Warning, kTitle,
                                kPortsFailed.arg(problems.join(u'\n')), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("portProblems"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
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
    control_->setPrompts(std::make_unique<DlgMessagePrompts>(this));
    const int controlError = control_->create(setup_.bindAddress);
    // Contacts keep their share of the call prompts whatever strangers send.
    control_->setContactCheck([this](const QString& sender) {
        const std::uint32_t key = contactKey(sender);
        const ContactListModel& contacts = list_->model();
        for (int i = 0; i < contacts.size(); ++i) {
            if (contacts.at(i).entry.key == key) {
                return true;
            }
        }
        return false;
    });
    chat_ = new CChatChannel(setup_.bindAddress, this);
    chats_ = std::make_unique<CChatWindows>(*chat_, settings_, this, this);
    files_ = std::make_unique<CFileListener>(
        [this](const QString& address) { return chat_->FindAndShow(address); }, this);
    const int filesError = files_->create(setup_.bindAddress);
    chats_->setFileOffer(
        [this](const QString& path, const QString& fileName, const QString& peerAddress) {
            files_->SendFile(peerAddress, path, fileName);
        });
    // The offer's line in the history must not stand for a file that never
    // arrived.
    connect(
        files_.get(), &CFileListener::uploadEnded, this,
        [this](const QString& peerAddress, const QString& path, bool whole) {
            if (auto* dlg = whole ? nullptr : dynamic_cast<CChatDlg*>(chat_->Find(peerAddress))) {
                dlg->FileNotSent(path);
            }
        });

    contactStore_.setPath(joinPath(setup_.programFolder, kContactsFile));
    contactStore_.setWriteFailed(
        [this](const QString& path, const QString& reason) { reportWriteFailure(path, reason); });
    contacts_ = std::make_unique<ContactBook>(*list_, contactStore_, this);
    contacts_->load();
    updateContactButtons();

    setWindowIcon(QIcon(picture(kIcon)));
    createTrayMenu();
    tray_->Add(this, kIcon, kTrayTooltip);

    media_ = std::make_unique<ConferenceMedia>(
        ConferenceMedia::Setup{this, this, &settings_, control_, setup_.programFolder,
                               setup_.bindAddress, maxUdpDatagram_});
    media_->setUpAudio();
    if (quitFlag_) {  // the session ended while the codec chooser was open
        closeSplash();
        return true;
    }
    rebuildCallParameters();
    ICallControls& controls = *this;
    // A child of the window, which hears their time-outs.
    auto* waits = new CWaitPopups(this);
    conference_ = std::make_unique<CConferenceController>(*control_, *contacts_, *waits, *media_,
                                                          controls, *this);
    presence_ = std::make_unique<PresencePoll>(
        [this](int i) { return list_->PollStep(i); },
        [this](const QString& address) { control_->queryPresence(address); });
    // A pass's answer for a contact stored by host name keys that contact.
    connect(presence_.get(), &PresencePoll::nameResolved, list_, &CListContact::NameResolved);
    list_->roundTrip = [this](std::uint32_t key) { return presence_->answered(key); };

    media_->setPreview(new CShowWnd(videoArea_));
    updateStatusPanel();
    layoutControls();
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }

    show();
    // Before the first-start profile dialog, which shows what the router did.
    startPortMapping();
    const bool keepRunning = checkProfile();
    if (!quitFlag_) {
        selectVideoSource(true);
        control_->setOwner(this, profile_.name, profile_.email);
        chats_->setOwnName(profile_.name);
        presence_->start();
    }
    closeSplash();
    if (!quitFlag_) {
        reportPortProblems(checkPorts(controlError, filesError));
    }
    return keepRunning;
}

void CMainDlg::startPortMapping() {
    // Bound to a loopback address (the tests), nobody outside can reach us.
    const bool loopback = setup_.bindAddress.startsWith(QStringLiteral("127."));
    const bool on =
        !loopback && OwnSettings(joinPath(setup_.programFolder, QStringLiteral("kova.ini")))
                         .get(switches::kPortMapping);
    portMapping_ = std::make_unique<PortMappingService>(
        on, QList<PortMappingService::Port>{{MapProtocol::Udp, CControlChannel::kPort},
                                            {MapProtocol::Udp, CMediaSocket::kVideoPort},
                                            {MapProtocol::Udp, CMediaSocket::kAudioPort},
                                            {MapProtocol::Udp, CChatChannel::kPort},
                                            {MapProtocol::Tcp, CFileListener::kPort}});
    portMapping_->start();
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
    if (quitFlag_) {
        return false;
    }
    CPofileDlg dlg(profile_.name, profile_.email, LocalAddresses(), this);
    profileDlg_ = &dlg;
    if (portMapping_) {
        dlg.showPortMapping(portMapping_->state());
        connect(portMapping_.get(), &PortMappingService::changed, &dlg,
                [this, &dlg] { dlg.showPortMapping(portMapping_->state()); });
    }
    const bool accepted = dlg.exec() == QDialog::Accepted && !quitFlag_;
    profileDlg_ = nullptr;
    if (accepted) {
        profile_.name = dlg.name();
        profile_.email = dlg.mail();
        if (const FileReplaceResult saved = profileStore_.save(profile_); !saved) {
            reportWriteFailure(setup_.profile, saved.reason);
        }
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
    updateTrayMenu();
}

void CMainDlg::showEvent(QShowEvent* event) {
    if (media_ && !conferenceActive()) {
        media_->resumeLocalVideo();
    }
    QDialog::showEvent(event);
    updateTrayMenu();
}

void CMainDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        updateTrayMenu();
    }
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
    if (sessionEnding_) {  // a second signal while ending: only the loops again
        endModalLoops(this);
        return;
    }
    sessionEnding_ = true;
    // First, so that even a forced end later finds the settings on disk.
    saveSettings();
    hangUp();
    quitFlag_ = true;
    endModalLoops(this);
    close();
}

void CMainDlg::endModalLoops(const QWidget* keep) {
    // Each popup menu runs a loop of its own; a menu may open a submenu, so a few.
    for (int i = 0; i < 8 && QApplication::activePopupWidget() != nullptr; ++i) {
        QApplication::activePopupWidget()->close();
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dlg = qobject_cast<QDialog*>(w);
        if (dlg != nullptr && dlg != keep && dlg->isVisible() && dlg->isModal()) {
            // QDialog's own done: a subclass's reject may only hide or post.
            dlg->QDialog::done(QDialog::Rejected);
        }
    }
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
        // Without a tray, nothing could bring a hidden window back.
        qCInfo(lcApp) << "close:" << (tray_->hasSystemTray() ? "hidden" : "minimised");
        if (tray_->hasSystemTray()) {
            hide();
        } else {
            showMinimized();
        }
        return;
    }
    event->accept();
    // A close request posted before the session ended arrives after the end.
    if (ended_) {
        return;
    }
    runQuitSequence();
    ended_ = true;
    emit ended();
}

void CMainDlg::runQuitSequence() {
    saveSettings();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    hide();
    if (presence_) {
        presence_->stop();
        presence_->setClosing();
    }
    if (files_) {
        files_->stopAndWait();
    }
    if (portMapping_) {
        portMapping_->stop();
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
    endModalLoops(this);
    QApplication::restoreOverrideCursor();
}

}  // namespace kova
