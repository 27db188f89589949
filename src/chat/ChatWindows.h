#pragma once
// The main window's side of chatting: opening a chat window per peer (or
// bringing up the open one), the user's Chat command with its request to the
// peer, and the chat messages the control channel sends the main window.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "chat/ChatDlg.h"

namespace kova {

class CChatChannel;
class CControlChannel;
class IBalloonReporter;
class WindowMessage;
struct AvSettings;

class CChatWindows : public QObject {
    Q_OBJECT
public:
    // The message dialog: (text, type) -> 1 for OK, 2 otherwise. The own one
    // opens without waiting and answers 2.
    using ShowMessage = std::function<int(const QString& text, int type)>;

    CChatWindows(CChatChannel& channel, AvSettings& settings, QWidget* mainWindow,
                 IBalloonReporter* balloons, QObject* parent = nullptr);
    ~CChatWindows() override;

    // The local profile name, header of the lines this side sends.
    void setOwnName(const QString& name) { ownName_ = name; }
    // Given to every window opened from now on (file transfer).
    void setFileOffer(CChatDlg::FileOffer offer) { offerFile_ = std::move(offer); }
    void setShowMessage(ShowMessage show) { showMessage_ = std::move(show); }

    // Shows the open window of the address, or opens and registers a new one,
    // keyed as the channel keys it.
    CChatDlg* Open(const QString& peerName, const QString& peerAddress);
    // The user's Chat command for a contact: the request to the peer, a notice
    // when it could not be sent, and the window at once in either case. The
    // address is the contact's send address (CurrentContact::sendAddr): the
    // peer answers from it, so an answer finds this window; a name that has
    // not resolved fails to send as an invalid host.
    CChatDlg* StartChat(CControlChannel& control, const QString& name, const QString& address);
    // MSG_OPEN_CHAT, MSG_FIND_CHAT and MSG_CHAT_CLOSED: handled (result set)
    // and true; false for any other message.
    bool handleMessage(WindowMessage& message);

    // The open windows, for the quit sequence.
    QList<CChatDlg*> windows() const;
    void closeAll();

    static QString connectErrorText(const QString& name, const QString& address);
    static QString openBalloonText(const QString& name, const QString& address);

private:
    CChatChannel& channel_;
    AvSettings& settings_;
    QPointer<QWidget> mainWindow_;
    IBalloonReporter* balloons_;
    QString ownName_;
    CChatDlg::FileOffer offerFile_;
    ShowMessage showMessage_;
    QList<QPointer<CChatDlg>> windows_;
};

}  // namespace kova
