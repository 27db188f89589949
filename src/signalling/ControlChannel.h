#pragma once
// The control port: one UDP socket on 6321 over which two peers arrange video
// calls, chats, presence, video frame pacing and remote microphone steps. It
// tells the main window what happened only through window messages, asks the
// user through the message dialog and rings through an injected sound player.

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

#include "common/ByteIo.h"
#include "signalling/ControlDatagram.h"

class QWidget;

namespace kova {

class IBalloonReporter;
class UdpSocket;

class CControlChannel : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kPort = 6321;
    // Every prompt and notice runs a nested modal loop; a flood of requests must
    // not stack them until the stack runs out.
    static constexpr int kMaxOpenPrompts = 4;
    static constexpr int kMaxOpenNotices = 4;
    // Addresses outside the contact list hold at most this share of the open
    // prompts, so a stranger's flood never keeps a contact's call from ringing.
    static constexpr int kMaxStrangerPrompts = 2;
    // Our chat requests still waiting for an answer. The peer's question closes
    // itself after 35 s, so a minute covers any honest acceptance.
    static constexpr int kMaxPendingChats = 16;
    static constexpr int kPendingChatMs = 60000;
    static inline const QString kRingSound = QStringLiteral("Audio/RingIn.wav");
    static inline const QString kSendErrorCaption = QStringLiteral("Connection... breaked");
    static inline const QString kDeadNetwork =
        QStringLiteral("A conference operation encountered a dead network!");

    // Plays a file of the program folder asynchronously, once.
    using PlaySound = std::function<void(const QString& relativePath)>;
    // The message dialog: (text, caption or null for the main window's title,
    // type) -> 1 for OK/Accept, 2 otherwise.
    using ShowMessage = std::function<int(const QString& text, const QString& caption, int type)>;
    // Whether a dotted sender address belongs to a contact of the list.
    using IsContact = std::function<bool(const QString& sender)>;

    // balloons may be null (no dead-network balloon then).
    CControlChannel(PlaySound playSound, IBalloonReporter* balloons, QObject* parent = nullptr);
    ~CControlChannel() override;

    // Binds the socket to kPort on bindAddress (empty: every interface). Returns
    // 0 or the socket error; the channel then only sends nothing and reports it.
    int create(const QString& bindAddress = {});

    // The main window that receives the notifications (a widget also parents
    // the dialogs), with the local user's name and e-mail. Datagrams are read
    // and dropped while no owner is set or after it is destroyed.
    void setOwner(QObject* owner, const QString& name, const QString& email);
    // Each value is cut to 63 UTF-16 units; a null string leaves its field.
    void setIdentity(const QString& name, const QString& email);
    void setCallParameters(const CallParameters& parameters);

    // Close times of the channel's questions and notices; 0 keeps the dialog's
    // own (35 s and 2 s). Tests use short ones.
    void setPromptTimeouts(int questionMs, int noticeMs);
    // Replaces the message dialog (tests).
    void setShowMessage(ShowMessage show);
    // Without it every sender counts as a stranger.
    void setContactCheck(IsContact isContact) { isContact_ = std::move(isContact); }

    // Sends one command to kPort at address (dotted or host name). Call
    // datagram commands carry the own block, others go as short commands; 123
    // and 124 send nothing and succeed. A failure shows the socket error text
    // under "Connection... breaked" when reportErrors is set; either way the
    // result is false. Short commands without reporting may be sent from any
    // thread.
    bool Send(std::uint8_t command, const QString& address, bool reportErrors);

    // Stores the address as the peer's and sends CTL_CALL (errors reported).
    // Until the call is accepted, cancelled or a conference runs, only that
    // address's CTL_ACCEPT starts a conference.
    bool call(const QString& address);
    // Disconnect while waiting, time-out, declined: a later acceptance of the
    // call starts nothing. Nothing when no call is waiting.
    void cancelCall();
    // CTL_CHAT to address (errors reported); only the addresses asked this way
    // may open a chat window with their acceptance.
    bool requestChat(const QString& address);
    // Ends our side of a conference: CTL_HANGUP to the peer, stored peer
    // datagram zeroed, in-call flag cleared. Nothing outside a conference.
    void hangUp();
    // Unreported sends to the peer address (frame ack; mic step only in a call).
    void sendFrameAck();
    void sendMicStep(bool raise);
    // Presence poll: CTL_QUERY, unreported. Safe from the poll's worker thread.
    void queryPresence(const QString& address);

    QString peerAddress() const { return peerAddress_; }
    QString peerName() const { return peerName_; }
    QString peerEmail() const { return peerEmail_; }
    void setPeerName(const QString& name) { peerName_ = name; }
    bool inCall() const { return state_ == State::InCall; }
    bool calling() const { return state_ == State::Calling; }
    bool frameAck() const { return frameAck_; }
    void setFrameAck(bool set) { frameAck_ = set; }
    // The peer's call parameters from the stored peer datagram.
    CallParameters peerCallParameters() const;
    const std::array<std::byte, CallDatagram::kSize>& storedPeerDatagram() const {
        return storedPeer_;
    }
    const std::array<std::byte, CallDatagram::kSize>& ownBlock() const { return ownBlock_; }
    bool isOpen() const;

    // A read notification of the socket: pendingError is what the socket
    // reported with it (the network-down number ends any conference).
    void handleReadNotification(int pendingError);
    // One received datagram from sourceIpv4 (host order) and sourcePort: the
    // receive path after the socket read, also fed directly by tests.
    void processDatagram(ByteSpan datagram, std::uint32_t sourceIpv4, std::uint16_t sourcePort);

signals:
    // The peer acknowledged our last video frame (CTL_FRAME_ACK).
    void frameAcknowledged();

private:
    using Block = std::array<std::byte, CallDatagram::kSize>;
    enum class State { Idle, Calling, InCall };

    void onCall(const Block& datagram, const QString& sender);
    void onChat(const Block& datagram, const QString& sender);
    void onChatAccept(const Block& datagram, const QString& sender);
    // Shows a type-0 notice unless the same one is open or too many are.
    void showNotice(const QString& text, const QString& caption = {});
    int showPrompt(const QString& text);
    // A request from sender may open a prompt: none of its own is open and its
    // share of the prompts is not used up. Busy: the share is full.
    enum class Ask { Yes, AlreadyAsking, Busy };
    Ask mayAsk(const QString& sender) const;
    bool isContact(const QString& sender) const;
    bool fromPeer(std::uint32_t sourceIpv4) const;
    // Takes sender's pending chat request off the list; false when there was none.
    bool takePendingChat(const QString& sender);
    // Rings and asks; the channel may be gone when this returns.
    int ask(const QString& sender, const QString& text);
    void ring();
    void showOwnerWindow();
    QWidget* dialogParent() const;

    PlaySound playSound_;
    IBalloonReporter* balloons_;
    ShowMessage showMessage_;
    int questionMs_ = 0;
    int noticeMs_ = 0;
    UdpSocket* socket_;
    QPointer<QObject> owner_;

    Block ownBlock_{};
    Block storedPeer_{};
    QString peerAddress_;
    QString peerName_;
    QString peerEmail_;
    State state_ = State::Idle;
    // The call to peerAddress_ was given up; its late acceptance is answered
    // with a hang-up.
    bool callCancelled_ = false;
    bool frameAck_ = false;
    IsContact isContact_;

    // Senders whose CTL_CALL/CTL_CHAT prompt is open (strangers among them
    // counted apart), and the open notices.
    QStringList openPrompts_;
    int strangerPrompts_ = 0;
    QStringList openNotices_;
    // Addresses we asked for a chat, with the tick after which the question is
    // stale.
    QList<QPair<QString, qint64>> pendingChats_;
};

}  // namespace kova
