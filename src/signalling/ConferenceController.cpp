#include "signalling/ConferenceController.h"

#include "common/BalloonReporter.h"
#include "media/MediaSizes.h"
#include "signalling/CallContacts.h"
#include "signalling/ConferenceMedia.h"
#include "signalling/ControlChannel.h"
#include "signalling/WaitIndicator.h"

#include <QLoggingCategory>

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcCalls, "kova.calls", QtWarningMsg)
}

CConferenceController::CConferenceController(CControlChannel& control, ICallContacts& contacts,
                                             IWaitIndicators& waits, IConferenceMedia& media,
                                             ICallControls& controls, IBalloonReporter& balloons)
    : control_(control),
      contacts_(contacts),
      waits_(waits),
      media_(media),
      controls_(controls),
      balloons_(balloons) {}

CConferenceController::~CConferenceController() = default;

CConferenceController::State CConferenceController::state() const {
    if (running_) {
        return State::Running;
    }
    return wait_ ? State::Waiting : State::Idle;
}

void CConferenceController::startCall() {
    const auto contact = contacts_.selectedContact();
    if (!contact) {
        return;
    }
    control_.setPeerName(contact->name);
    if (!control_.call(contact->sendAddr)) {
        return;
    }
    qCInfo(lcCalls) << "calling" << contact->addr;
    controls_.showWaiting();
    removeWait();
    wait_ = waits_.showWait(waitMs_);
}

void CConferenceController::onCallTimeout() {
    resetAfterFailedCall(true);
}

void CConferenceController::onCallDeclined() {
    resetAfterFailedCall(false);
}

void CConferenceController::resetAfterFailedCall(bool timedOut) {
    control_.cancelCall();
    if (!control_.inCall()) {
        controls_.showIdle();
        if (timedOut) {
            balloons_.ShowBalloon(kTimeoutText);
        }
    }
    removeWait();
}

void CConferenceController::removeWait() {
    if (wait_) {
        wait_->dismiss();
        wait_.reset();
    }
}

void CConferenceController::startConference() {
    if (starting_) {
        // A second call accepted inside one of this start's nested loops: the
        // start under way owns the media, so that call ends at once.
        qCInfo(lcCalls) << "call from" << control_.peerAddress() << "ended: a start is under way";
        control_.hangUp();
        return;
    }
    if (running_ || media_.receivingWindowOpen()) {
        return;
    }
    removeWait();

    IConferenceMedia::PeerMedia peer;
    peer.name = control_.peerName();
    peer.address = control_.peerAddress();
    peer.parameters = control_.peerCallParameters();
    peer.videoFrameSize = videoFrameSize(peer.parameters.video);
    peer.audioFrameSize =
        audioFrameSize(peer.parameters.audioFormat, peer.parameters.audioBufferMs);

    // Each step may show a box whose nested loop delivers the peer's hang-up or
    // another call; after any of them the start goes on only for the same,
    // still running call.
    starting_ = true;
    const int generation = ++generation_;
    const auto stillOurs = [&] {
        return generation == generation_ && control_.inCall() &&
               control_.peerAddress() == peer.address;
    };
    const auto abandon = [&] {
        starting_ = false;
        qCInfo(lcCalls) << "conference with" << peer.address << "ended while starting";
        media_.stopSending();
        media_.closeReceiving();
        if (control_.peerAddress() == peer.address) {
            control_.hangUp();
        }
        media_.endCompressor();
        control_.setFrameAck(true);
        controls_.showEnded();
    };

    media_.prepare(peer);
    if (!media_.showReceivingWindow()) {
        starting_ = false;
        controls_.showError(QStringLiteral("Error creating Dialog"));
        return;
    }
    if (!stillOurs()) {
        abandon();
        return;
    }
    if (!media_.startVideoSender()) {
        starting_ = false;
        controls_.showError(QStringLiteral("Error Set Video Parameters"));
        return;
    }
    if (!stillOurs()) {
        abandon();
        return;
    }
    media_.startAudioCapture();
    if (!stillOurs()) {
        abandon();
        return;
    }
    starting_ = false;
    control_.setFrameAck(true);
    running_ = true;
    qCInfo(lcCalls) << "conference with" << peer.address << "running";

    controls_.showRunning();
    balloons_.ShowBalloon(QStringLiteral("Connected:\n") + peer.name + u'\n' + peer.address);
    contacts_.conferencePeer(peer.name, control_.peerEmail(), peer.address);
}

void CConferenceController::hangUp() {
    // A start in progress notices the new generation when its box closes.
    ++generation_;
    if (!running_) {
        return;
    }
    running_ = false;
    qCInfo(lcCalls) << "conference with" << control_.peerAddress() << "ending";
    const std::unique_ptr<IWaitIndicator> teardown = waits_.showTeardown(kTeardownMs);

    media_.stopSending();
    control_.hangUp();
    media_.closeReceiving();
    controls_.showEnded();
    media_.endCompressor();
    control_.setFrameAck(true);
    teardown->dismiss();
}

void CConferenceController::onPeerHangUp() {
    hangUp();
    const QString name = control_.peerName();
    if (!name.isEmpty()) {
        balloons_.ShowBalloon(QStringLiteral("Disconnect from %1").arg(name));
    }
}

}  // namespace kova
