#pragma once
// The control port: one UDP socket on 6321 over which two peers arrange video
// calls, chats, presence, video frame pacing and remote microphone steps. The
// rules live in ControlProtocol; this class feeds it the socket's datagrams and
// carries out what it decides: sends, the ring sound, window messages to the
// main window and, through IControlPrompts, the questions and notices.

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/ByteIo.h"
#include "signalling/ControlDatagram.h"
#include "signalling/ControlProtocol.h"

namespace kova {

class IBalloonReporter;
class IControlPrompts;
class UdpSocket;

class CControlChannel : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kPort = 6321;
    static inline const QString kRingSound = QStringLiteral("Audio/RingIn.wav");
    static inline const QString kSendErrorCaption = QStringLiteral("Connection... breaked");
    static inline const QString kDeadNetwork =
        QStringLiteral("A conference operation encountered a dead network!");

    // Plays a file of the program folder asynchronously, once.
    using PlaySound = std::function<void(const QString& relativePath)>;
    // A message dialog answered at once: (text, caption or null for the main
    // window's title, type 0 notice or 3 question) -> 1 for Accept, 2 otherwise.
    using ShowMessage = std::function<int(const QString& text, const QString& caption, int type)>;
    using IsContact = ControlProtocol::IsContact;

    // balloons may be null (no dead-network balloon then).
    CControlChannel(PlaySound playSound, IBalloonReporter* balloons, QObject* parent = nullptr);
    ~CControlChannel() override;

    // Binds the socket to kPort on bindAddress (empty: every interface). Returns
    // 0 or the socket error; the channel then only sends nothing and reports it.
    int create(const QString& bindAddress = {});

    // The main window that receives the notifications, with the local user's
    // name and e-mail. Datagrams are read and dropped while no owner is set or
    // after it is destroyed.
    void setOwner(QObject* owner, const QString& name, const QString& email);
    // Each value is cut to 63 UTF-16 units; a null string leaves its field.
    void setIdentity(const QString& name, const QString& email);
    void setCallParameters(const CallParameters& parameters);

    // Where the questions and notices go. Without any, every question is
    // rejected at once and no notice is shown.
    void setPrompts(std::unique_ptr<IControlPrompts> prompts);
    // Questions and notices through a function that answers at once (tests);
    // the main window is still brought up by the prompts set before.
    void setShowMessage(ShowMessage show);
    // Without it every sender counts as a stranger.
    void setContactCheck(IsContact isContact) { protocol_.setContactCheck(std::move(isContact)); }

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
    // Ends our side of a conference: CTL_HANGUP to the peer, what the peer sent
    // forgotten, in-call flag cleared. Nothing outside a conference.
    void hangUp();
    // Unreported sends to the peer address (frame ack; mic step only in a call).
    void sendFrameAck();
    void sendMicStep(bool raise);
    // Presence poll: CTL_QUERY, unreported. Safe from the poll's worker thread.
    void queryPresence(const QString& address);

    QString peerAddress() const { return protocol_.peerAddress(); }
    QString peerName() const { return protocol_.peerName(); }
    // The e-mail the peer sent with its call or its acceptance.
    QString peerEmail() const { return fieldText(protocol_.peerDatagram().email); }
    void setPeerName(const QString& name) { protocol_.setPeerName(name); }
    bool inCall() const { return protocol_.inCall(); }
    bool calling() const { return protocol_.calling(); }
    bool frameAck() const { return frameAck_; }
    void setFrameAck(bool set) { frameAck_ = set; }
    // The peer's call parameters; all zero after our hang-up.
    CallParameters peerCallParameters() const { return protocol_.peerDatagram().parameters; }
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
    void run(const ControlActions& actions);
    void ask(const ControlAction& action);
    // Shows a notice the protocol counts as open.
    void present(const QString& text, const QString& caption);
    bool findChat(const QString& sender);

    PlaySound playSound_;
    IBalloonReporter* balloons_;
    std::unique_ptr<IControlPrompts> prompts_;
    UdpSocket* socket_;
    QPointer<QObject> owner_;
    ControlProtocol protocol_;
    // What we send with CTL_CALL, CTL_ACCEPT and the chat commands.
    CallDatagram own_;
    bool frameAck_ = false;
};

}  // namespace kova
