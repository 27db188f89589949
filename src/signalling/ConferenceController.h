#pragma once
// The conference controller of the main window: places an outgoing call and
// waits for the answer, starts the media of an accepted conference and ends it
// from either side. The main window forwards its buttons and the control
// channel's messages here; the controller changes the window's controls only
// through ICallControls.

#include <QObject>
#include <memory>

namespace kova {

class CControlChannel;
class IBalloonReporter;
class ICallContacts;
class IConferenceMedia;
class IWaitIndicator;
class IWaitIndicators;

class ICallControls {
public:
    virtual ~ICallControls() = default;
    // An outgoing call waits: Disconnect instead of Connect, Properties off,
    // the list's busy mark on.
    virtual void showWaiting() = 0;
    // Back from a call that did not start: Connect and Properties on, no mark.
    virtual void showIdle() = 0;
    // A conference runs: Connect shown but off, Properties off, busy mark on, no
    // presence polls.
    virtual void showRunning() = 0;
    // A conference ended: Connect and Properties on, no mark, contact buttons
    // for the selection, presence polls again.
    virtual void showEnded() = 0;
    // Error boxes of a failed conference start.
    virtual void showError(const QString& text) = 0;
};

class CConferenceController : public QObject {
    Q_OBJECT
public:
    static inline const QString kTimeoutText =
        QStringLiteral("Timeout...\nContact is not accessible!\nCommunicate later.");
    static constexpr int kWaitMs = 30000;
    static constexpr int kTeardownMs = 5000;

    // The main window hears a wait's MSG_CALL_TIMEOUT and hands it back to
    // onCallTimeout.
    CConferenceController(CControlChannel& control, ICallContacts& contacts, IWaitIndicators& waits,
                          IConferenceMedia& media, ICallControls& controls,
                          IBalloonReporter& balloons);
    ~CConferenceController() override;

    enum class State { Idle, Waiting, Running };
    State state() const;
    bool running() const { return running_; }
    bool waiting() const { return wait_ != nullptr; }

    // Connect / "Start Video Conference": calls the selected contact.
    void startCall();
    // MSG_CALL_TIMEOUT, with the balloon.
    void onCallTimeout();
    // MSG_CALL_DECLINED and the Disconnect button, without a balloon.
    void onCallDeclined();
    // MSG_START_CONFERENCE.
    void startConference();
    // MSG_LOCAL_HANGUP, tray Exit, end of session.
    void hangUp();
    // MSG_PEER_HANGUP: the hang-up, then "Disconnect from <name>".
    void onPeerHangUp();

    // The outgoing call's wait; tests shorten it.
    void setWaitMs(int ms) { waitMs_ = ms; }

private:
    void resetAfterFailedCall(bool timedOut);
    void removeWait();

    CControlChannel& control_;
    ICallContacts& contacts_;
    IWaitIndicators& waits_;
    IConferenceMedia& media_;
    ICallControls& controls_;
    IBalloonReporter& balloons_;
    std::unique_ptr<IWaitIndicator> wait_;
    bool running_ = false;
    // A start is between its first and last step (each may run a nested loop).
    bool starting_ = false;
    // Moves on with every start and every hang-up.
    int generation_ = 0;
    int waitMs_ = kWaitMs;
};

}  // namespace kova
