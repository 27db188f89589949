#pragma once
// The media of a conference as the program has them: the receiving window, the
// media channels, the video sender and audio capture, started and stopped in
// the order the conference controller asks for.

#include "signalling/ConferenceMedia.h"

namespace kova {

class ConferenceMedia : public IConferenceMedia {
public:
    bool receivingWindowOpen() const override;
    void prepare(const PeerMedia& peer) override;
    bool showReceivingWindow() override;
    bool startVideoSender() override;
    void startAudioCapture() override;
    void stopSending() override;
    void closeReceiving() override;
    void endCompressor() override;

    const PeerMedia& peer() const { return peer_; }

private:
    PeerMedia peer_;
};

}  // namespace kova
