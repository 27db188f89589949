#pragma once
// The rules of the control port without its socket: what a received datagram,
// an answered question or the user's own call does, given whom we call or are
// in a conference with. It holds no socket and no window and runs no loop; time
// comes in as a monotonic millisecond tick. The owner carries out the returned
// actions in their order and hands the answers of the questions back.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <vector>

#include "signalling/ControlDatagram.h"

namespace kova {

struct ControlAction {
    enum class Kind {
        Send,       // command to address, errors shown when reportErrors
        Ring,       // the ring sound ahead of a question
        Ask,        // question text about address; its answer goes to promptAnswered(prompt)
        Notice,     // text under caption (null: the main window's title); noticeClosed after
        Post,       // window message to the owner, nobody waits
        Deliver,    // window message sent to the owner, handled before the next action
        ShowOwner,  // the main window comes up when hidden
        FrameAck,   // the peer acknowledged our last video frame
    };

    Kind kind = Kind::Send;
    std::uint8_t command = 0;
    bool reportErrors = false;
    QString address;
    int prompt = 0;
    QString text;
    QString caption;
    int message = 0;
    QVariant first;
    QVariant second;

    static ControlAction send(std::uint8_t command, const QString& address, bool reportErrors);
    static ControlAction ask(int prompt, const QString& text, const QString& sender);
    static ControlAction notice(const QString& text, const QString& caption = {});
    static ControlAction post(int message, QVariant first = 0, QVariant second = 0);
    static ControlAction deliver(int message, QVariant first = 0, QVariant second = 0);
    static ControlAction of(Kind kind);

    bool operator==(const ControlAction&) const = default;
};

using ControlActions = std::vector<ControlAction>;

class ControlProtocol {
public:
    // Each open question or notice is a window a sender made us open: a flood
    // of requests must not pile them up.
    static constexpr int kMaxOpenPrompts = 4;
    static constexpr int kMaxOpenNotices = 4;
    // Addresses outside the contact list hold at most this share of the open
    // prompts, so a stranger's flood never keeps a contact's call from ringing.
    static constexpr int kMaxStrangerPrompts = 2;
    // Our chat requests still waiting for an answer. The peer's question closes
    // itself after 35 s, so a minute covers any honest acceptance.
    static constexpr int kMaxPendingChats = 16;
    static constexpr qint64 kPendingChatMs = 60000;

    // Whether a dotted sender address belongs to a contact of the list; without
    // it every sender counts as a stranger.
    using IsContact = std::function<bool(const QString& sender)>;
    // Whether a chat window for the address is open (it is brought up then);
    // asked before anything else of a chat request or acceptance is done.
    using FindChat = std::function<bool(const QString& sender)>;

    void setContactCheck(IsContact isContact) { isContact_ = std::move(isContact); }
    void setFindChat(FindChat findChat) { findChat_ = std::move(findChat); }

    // We call address: until it accepts, we give up or a conference runs, only
    // its CTL_ACCEPT starts one. The owner sends CTL_CALL.
    void call(const QString& address);
    // Disconnect while waiting, time-out, declined: a later acceptance starts
    // nothing and is answered with a hang-up. Nothing when no call is waiting.
    void cancelCall();
    // Our CTL_CHAT went to address: its acceptance may open a chat window.
    void chatRequested(const QString& address, qint64 nowMs);
    // Ends our side of a conference; true when CTL_HANGUP is due to the peer.
    bool hangUp();
    // The network went down: any conference is over.
    void networkDown();

    // One datagram as decoded by CallDatagram::decodeReceived, from sourceIpv4
    // (host order) on the control port.
    ControlActions receive(const CallDatagram& datagram, std::uint32_t sourceIpv4, qint64 nowMs);
    // The answer to an Ask; an unknown or already answered prompt does nothing.
    ControlActions promptAnswered(int prompt, bool accepted);
    // A notice may be shown: the same one is not open and fewer than the cap
    // are. It then counts as open until noticeClosed.
    bool openNotice(const QString& text, const QString& caption);
    void noticeClosed(const QString& text, const QString& caption);

    bool inCall() const { return state_ == State::InCall; }
    bool calling() const { return state_ == State::Calling; }
    QString peerAddress() const { return peerAddress_; }
    QString peerName() const { return peerName_; }
    void setPeerName(const QString& name) { peerName_ = name; }
    // What the peer sent with its call or acceptance; all zero after our hang-up.
    const CallDatagram& peerDatagram() const { return peer_; }

    int openPrompts() const { return static_cast<int>(prompts_.size()); }
    int strangerPrompts() const { return strangerPrompts_; }
    int openNotices() const { return static_cast<int>(notices_.size()); }
    int pendingChats() const { return static_cast<int>(pendingChats_.size()); }

private:
    enum class State { Idle, Calling, InCall };
    // A request from sender may open a prompt: none of its own is open and its
    // share of the prompts is not used up. Busy: the share is full.
    enum class Ask { Yes, AlreadyAsking, Busy };
    struct Prompt {
        int id = 0;
        bool chat = false;
        bool stranger = false;
        QString sender;
        CallDatagram datagram;
    };

    void onCall(const CallDatagram& d, const QString& sender, ControlActions& out);
    void onAccept(const CallDatagram& d, std::uint32_t sourceIpv4, const QString& sender,
                  ControlActions& out);
    void onChat(const CallDatagram& d, const QString& sender, ControlActions& out);
    void onChatAccept(const CallDatagram& d, const QString& sender, qint64 nowMs,
                      ControlActions& out);
    void callAnswered(const Prompt& p, bool accepted, ControlActions& out);
    void chatAnswered(const Prompt& p, bool accepted, ControlActions& out);
    Ask mayAsk(const QString& sender) const;
    void openPrompt(bool chat, const CallDatagram& d, const QString& sender, const QString& text,
                    ControlActions& out);
    void addNotice(const QString& text, ControlActions& out);
    bool isContact(const QString& sender) const;
    bool fromPeer(std::uint32_t sourceIpv4) const;
    // Takes sender's pending chat request off the list; false when there was none.
    bool takePendingChat(const QString& sender, qint64 nowMs);

    IsContact isContact_;
    FindChat findChat_;
    State state_ = State::Idle;
    QString peerAddress_;
    QString peerName_;
    CallDatagram peer_;
    // The call to peerAddress_ was given up; its late acceptance is answered
    // with a hang-up.
    bool callCancelled_ = false;

    std::vector<Prompt> prompts_;
    int strangerPrompts_ = 0;
    int nextPrompt_ = 1;
    // caption + '\n' + text of each open notice
    QStringList notices_;
    // Addresses we asked for a chat, with the tick after which the question is
    // stale.
    QList<QPair<QString, qint64>> pendingChats_;
};

}  // namespace kova
