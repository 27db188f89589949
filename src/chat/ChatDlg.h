#pragma once
// A chat window with one peer: the history of the conversation above, the
// input pane below. Messages go out as RTF documents through the chat channel;
// incoming ones are shown with their formatting, and the caption flashes until
// the user turns to the window.

#include <QBasicTimer>
#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>

#include "chat/CharFormat.h"
#include "chat/ChatBackground.h"
#include "chat/ChatChannel.h"
#include "chat/FontChooser.h"
#include "config/AvSettings.h"

class QTextCharFormat;
class QTextEdit;
class QUrl;

namespace kova {

class CChatHistory;
class CHoverButton;
class IBalloonReporter;

class CChatDlg : public QDialog, public IChatWindow {
    Q_OBJECT
public:
    enum Control {
        IDC_SEND = 1061,
        IDC_INPUT = 1062,
        IDC_HISTORY = 1063,
        IDC_CLOSE = 1064,
        IDC_MINIMIZE = 1066,
        IDC_ICON = 1067,
        IDC_FONT = 1068,
        IDC_FILE = 1070,
        IDC_BACKGROUND = 1072,
    };

    static constexpr int kAttentionMs = 1000;
    static constexpr int kInputLimit = 1024;
    static constexpr int kCaptionHeight = 28;
    static inline const QColor kInputColour{255, 250, 230};
    static inline const QSize kDefaultSize{460, 420};
    static inline const QSize kMinimumSize{300, 260};

    // Starts a file transfer of (full path, file name, peer address).
    using FileOffer = std::function<void(const QString& path, const QString& fileName,
                                         const QString& peerAddress)>;
    // Choosers and the link opener, replaceable for tests.
    using ChooseFont =
        std::function<std::optional<FontChoice>(const FontChoice& initial, QWidget*)>;
    using ChooseFile = std::function<QString(QWidget*)>;
    using OpenUrl = std::function<void(const QUrl&)>;

    // channel may be null (nothing is sent then). mainWindow parents the
    // message boxes the window may show; balloons may be null.
    CChatDlg(CChatChannel* channel, const QString& ownName, const QString& peerName,
             const QString& peerAddress, AvSettings& settings, QWidget* mainWindow,
             IBalloonReporter* balloons = nullptr);
    ~CChatDlg() override;

    // IChatWindow
    void ReceiveMessage(const std::u16string& text) override;
    void PeerClosed() override;
    void ShowChat() override;
    QObject* chatObject() override { return this; }

    // The Send button, Enter and the dialog's default action.
    void SendMessage();
    // The File button and dropped files hand the file to this; without it the
    // File button is disabled and drops are refused.
    void setFileOffer(FileOffer offer);
    void OfferFile(const QString& path);
    // An offered file that did not arrive whole: the history says so under the
    // line of its offer.
    void FileNotSent(const QString& path);
    static inline const QString kFileNotSent = QStringLiteral("File not sent: %1");
    void ChooseFontFormat();
    void ChangeBackground();

    static void setChoosers(ChooseFont font, ChooseFile file);
    // Where the send-file chooser opens: the folder a file was last sent
    // from while it exists, else the home folder.
    static QString fileStartFolder(const QString& lastFolder);
    void setUrlOpener(OpenUrl open);

    const QString& peerAddress() const { return peerAddress_; }
    const QString& peerName() const { return peerName_; }
    QString captionText() const;
    QTextEdit* input() const { return input_; }
    CChatHistory* history() const { return history_; }
    QWidget* control(int id) const;
    bool attentionRunning() const { return attention_.isActive(); }
    bool captionFlashed() const { return flashed_; }
    const ChatBackground& background() const { return background_; }
    const CharFormat& chatFormat() const { return chatFormat_; }

    // Where a stored placement puts the window on a screen of the given size:
    // nullopt for none (the default placement); the left and top no less than
    // 0, the right and bottom no more than the screen's size.
    static std::optional<QRect> restoredPlacement(const RectI32& stored, QSize screen);

protected:
    // The dialog's default action sends; Escape closes like the X button, so a
    // window never just hides without saying goodbye.
    void accept() override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void composeBackBuffer();
    // The caption bar alone, as it flashes.
    void paintCaptionBar();
    void refreshCaptionBar();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void applyBackground();
    void applyInputFormat();
    void stopAttention();
    void flashCaption();
    void limitInput();
    void finish();
    QSize screenArea() const;

    QPointer<CChatChannel> channel_;
    QString ownName_;
    QString peerName_;
    QString peerAddress_;
    AvSettings& settings_;
    QPointer<QWidget> mainWindow_;
    IBalloonReporter* balloons_;
    CharFormat chatFormat_;
    ChatBackground background_;
    // What lies under the controls: body, caption bar and frame. The skinned
    // buttons draw their corners from it.
    QPixmap backBuffer_;
    FileOffer offerFile_;

    CChatHistory* history_ = nullptr;
    QTextEdit* input_ = nullptr;
    QMap<int, QWidget*> controls_;
    QBasicTimer attention_;
    bool flashed_ = false;
    bool enterSent_ = false;
    bool limiting_ = false;
    bool finished_ = false;
};

}  // namespace kova
