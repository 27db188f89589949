#include "app/ConferenceMedia.h"

namespace kova {

// The media pieces join here as they come: until then a conference carries
// only its control traffic.

bool ConferenceMedia::receivingWindowOpen() const {
    return false;
}

void ConferenceMedia::prepare(const PeerMedia& peer) {
    peer_ = peer;
}

bool ConferenceMedia::showReceivingWindow() {
    return true;
}

bool ConferenceMedia::startVideoSender() {
    return true;
}

void ConferenceMedia::startAudioCapture() {}

void ConferenceMedia::stopSending() {}

void ConferenceMedia::closeReceiving() {}

void ConferenceMedia::endCompressor() {}

}  // namespace kova
