#pragma once
// The main window: the program's one top-level window and owner of every
// long-lived object. Closing it only hides it (minimises it where no tray could
// bring it back); the program ends when a close request arrives with the quit
// flag set.

#include <QDialog>
#include <QPointer>
#include <memory>
#include <optional>

#include "chat/BackImage.h"
#include "common/BalloonReporter.h"
#include "config/AvSettings.h"
#include "config/ContactStore.h"
#include "config/ProfileStore.h"
#include "signalling/ConferenceController.h"
#include "signalling/ControlDatagram.h"

class QAction;
class QLabel;
class QMenu;

namespace kova {

class CAboutDlg;
class CChatChannel;
class CChatWindows;
class CControlChannel;
class CFileListener;
class CSoundPlayer;
class ConferenceMedia;
class PresencePoll;
class PortMappingService;
class CHoverButton;
class CImagetxt;
class CListContact;
class CPofileDlg;
class CPropertiesDlg;
class CStartSplash;
class CTrayIcon;
class CVolumeSlider;
class ContactBook;
class SingleInstance;

struct MainDlgSetup {
    QString programFolder;  // avset.cfg, clset.cfg, codec states
    QString profile;        // the profile INI file
    QString instanceKey;    // names the single-instance channel
    QString bindAddress;    // local address of the sockets; empty: every interface
};

class CMainDlg : public QDialog, public IBalloonReporter, private ICallControls {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("KOVA - Open Meeting Room");
    static inline const QString kTrayTooltip =
        QStringLiteral("KOVA\nUniversal Video Conferencing Tool");
    static constexpr int kIcon = 153;

    // Commands of the buttons, the tray menu and the contact menu.
    enum Command {
        ID_SYSTEM_ABOUT = 16,
        ID_PROPERTIES = 1005,
        ID_CONNECT = 1019,
        ID_NEW = 1021,
        ID_EDIT = 1022,
        ID_DISCONNECT = 1023,
        ID_PROFILE = 1024,
        ID_DELETE = 1025,
        ID_CHAT = 1027,
        ID_APP_ABOUT = 1031,
        ID_RESTORE = 1033,
        ID_APP_EXIT = 1034,
        ID_HELP = 1041,
        ID_START_CONFERENCE = 1053,
        ID_EDIT_CONTACT = 1055,
        ID_REMOVE_CONTACT = 1056,
        ID_CLOSE = 1058,
        ID_START_CHAT = 1069,
    };

    // Captures the program folder and loads avset.cfg.
    CMainDlg(MainDlgSetup setup, std::uint16_t maxUdpDatagram, QWidget* parent = nullptr);
    // Final teardown; writes avset.cfg on every end of the program.
    ~CMainDlg() override;

    // Runs the start-up steps that belong to the window. False: this copy must end
    // at once (another copy runs). True: run the event loop, even when a close
    // request is already posted (missing profile).
    bool initialise();

    // End of session (logoff, SIGTERM): write the settings, end any conference,
    // set the quit flag, end every modal dialog and close at once.
    void endSession();
    // Writes avset.cfg unless it already holds the current settings. A failure
    // is told to the user once a run (on stderr only while the session ends).
    void saveSettings();
    // Ends every modal loop but keep's: dialogs are rejected, popup menus
    // closed. Their callers see the quit flag when exec returns.
    static void endModalLoops(const QWidget* keep);
    // The quit sequence has run; nothing may start any more.
    bool hasEnded() const { return ended_; }
    // Tray "Exit": the same, with the close request posted.
    void exitProgram();

    bool quitFlag() const { return quitFlag_; }
    bool conferenceActive() const;
    const AvSettings& settings() const { return settings_; }
    AvSettings& settings() { return settings_; }
    const Profile& profile() const { return profile_; }
    const QString& programFolder() const { return setup_.programFolder; }
    std::uint16_t maxUdpDatagram() const { return maxUdpDatagram_; }

    // Shows the window again in front, from a second copy or the tray.
    void restore();

    void ShowBalloon(const QString& text) override;
    CTrayIcon& tray() { return *tray_; }
    CListContact& contactList() { return *list_; }
    ContactBook& contacts() { return *contacts_; }
    CControlChannel& controlChannel() { return *control_; }
    CChatWindows& chats() { return *chats_; }
    CFileListener& fileListener() { return *files_; }
    CConferenceController& conference() { return *conference_; }
    PresencePoll& presencePoll() { return *presence_; }
    const CallParameters& localCallParameters() const { return localCall_; }
    CImagetxt& statusPanel() { return *statusPanel_; }
    CHoverButton* button(int command) const;
    CVolumeSlider* speakerSlider() const { return speakerSlider_; }
    CVolumeSlider* micSlider() const { return micSlider_; }

    // The tray menu's entries for the window's state: About, a separator
    // (command 0), Restore only while hidden, Exit.
    QList<int> trayMenuCommands() const;
    // The band's menu: About, and Exit where no tray menu offers it.
    QList<int> bandMenuCommands() const;
    void onCommand(int command);

    // Edit, Delete, Connect and Chat follow the selection and the conference.
    void updateContactButtons();
    // "Video: codec ..." and "Audio: codec ..." from the current call settings.
    void updateStatusPanel();
    // The 196 bytes peers size their buffers from: at start-up the default
    // 320 x 240 picture, frame rate 31.
    void rebuildCallParameters();
    // Plays a sound file of the program (the ring) without waiting for it.
    void PlayProgramSound(const QString& relative);
    ConferenceMedia& media() { return *media_; }

    static QString videoStatusLine(std::uint32_t fourCC, int width, int height);
    static QString audioStatusLine(const QString& codecName);

signals:
    // The quit sequence has run: the event loop may end.
    void ended();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Building and placing the controls (MainDlgControls.cpp).
    void createControls();
    void layoutControls();
    void composeBackground();
    // Where a press moves the window: down to just below the buttons.
    int bandHeight() const;

    // The Devices Properties flow and the choice of the video source
    // (MainDlgDevices.cpp).
    void selectVideoSource(bool startUp);
    void showDevicesProperties();
    std::unique_ptr<CPropertiesDlg> prepareDevicesDialog(bool startUp);
    bool runDevicesDialog(CPropertiesDlg& dlg);
    void keepCaptureFormat();
    void startLocalVideo(int device);

    // Messages, commands and the tray (MainDlgCommands.cpp).
    void onTrayNotify(int mouseMessage);
    void createTrayMenu();
    void updateTrayMenu();
    void fillMenu(QMenu& menu, const QList<int>& commands);
    void showAbout();
    void openHelp();
    bool handleConferenceMessage(int number);

    void closeSplash();
    void startPortMapping();
    bool checkProfile();
    bool editProfile();
    void postCloseRequest();
    void hangUp();
    void runQuitSequence();
    void reportWriteFailure(const QString& path, const QString& reason);
    // Ports that could not be bound (the control and file ports as bound, the
    // others tried once): one message naming each with its reason.
    void reportPortProblems(const QStringList& problems);
    QStringList checkPorts(int controlError, int filesError) const;

    // ICallControls
    void showWaiting() override;
    void showIdle() override;
    void showRunning() override;
    void showEnded() override;
    void showError(const QString& text) override;

    MainDlgSetup setup_;
    std::uint16_t maxUdpDatagram_;
    AvSettings settings_;
    Profile profile_;
    ProfileStore profileStore_;
    CContactStore contactStore_;
    SingleInstance* singleInstance_ = nullptr;
    bool quitFlag_ = false;
    bool sessionEnding_ = false;
    bool ended_ = false;
    bool writeFailureTold_ = false;
    // What avset.cfg last received, so a second save at teardown writes nothing new.
    std::optional<AvSettings> savedSettings_;
    bool helpBusy_ = false;
    QPointer<CPofileDlg> profileDlg_;
    QPointer<CAboutDlg> aboutDlg_;
    QPointer<CPropertiesDlg> devicesDlg_;
    CTrayIcon* tray_ = nullptr;
    // Built once: the tray's host may hold on to its entries.
    QMenu* trayMenu_ = nullptr;
    QAction* trayRestore_ = nullptr;
    CStartSplash* splash_ = nullptr;

    CListContact* list_ = nullptr;
    std::unique_ptr<ContactBook> contacts_;
    CImagetxt* statusPanel_ = nullptr;
    QLabel* programPicture_ = nullptr;
    CBackImage skin_;
    // The skin at the window's size; the buttons draw their corners from it.
    QPixmap background_;
    QWidget* videoArea_ = nullptr;
    CVolumeSlider* speakerSlider_ = nullptr;
    CVolumeSlider* micSlider_ = nullptr;
    QMap<int, CHoverButton*> buttons_;

    CallParameters localCall_;
    std::unique_ptr<CSoundPlayer> soundPlayer_;
    CControlChannel* control_ = nullptr;
    CChatChannel* chat_ = nullptr;
    // Before the channel goes: its windows say goodbye through it.
    std::unique_ptr<CChatWindows> chats_;
    // Before the chat channel: it asks the channel for open windows.
    std::unique_ptr<CFileListener> files_;
    std::unique_ptr<ConferenceMedia> media_;
    std::unique_ptr<CConferenceController> conference_;
    // Destroyed first: its worker sends through the control channel.
    std::unique_ptr<PresencePoll> presence_;
    std::unique_ptr<PortMappingService> portMapping_;
};

}  // namespace kova
