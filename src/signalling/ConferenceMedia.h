#pragma once
// What a conference starts and stops besides the control channel: the receiving
// window, the two media channels, the video sender and audio capture. The
// conference controller drives them through this in the order a call needs.

#include <cstdint>

#include <QString>

#include "signalling/ControlDatagram.h"

namespace kova {

class IConferenceMedia {
public:
    struct PeerMedia {
        QString name;
        QString address;
        CallParameters parameters;
        std::uint64_t videoFrameSize = 0;
        std::uint64_t audioFrameSize = 0;
    };

    virtual ~IConferenceMedia() = default;

    // A receiving window from an earlier start is still open.
    virtual bool receivingWindowOpen() const = 0;
    // Creates the receiving window (when there is none) and gives it the peer's
    // formats and sizes, then opens the audio and the video channel to the peer.
    virtual void prepare(const PeerMedia& peer) = 0;
    // Shows the receiving window; false when it cannot be created.
    virtual bool showReceivingWindow() = 0;
    // Starts the video sender on the video channel; false when it cannot start.
    virtual bool startVideoSender() = 0;
    // Starts audio capture into the audio channel.
    virtual void startAudioCapture() = 0;
    // Hang-up: stops sender and capture and deactivates both channels.
    virtual void stopSending() = 0;
    // Hang-up: destroys the receiving window and closes both channels.
    virtual void closeReceiving() = 0;
    // Hang-up: ends the compressor's work of this call.
    virtual void endCompressor() = 0;
};

}  // namespace kova
