#include "media/MediaFramer.h"

namespace kova {

void MediaFramer::setMaxDatagram(std::size_t maxDatagram) {
    maxDatagram_ = std::clamp(maxDatagram, kSmallestDatagram, kLargestDatagram);
}

std::uint8_t MediaFramer::advanceSequence() {
    lastSequence_ = lastSequence_ + 1 >= MediaHeader::kSequenceCount
                        ? 0
                        : static_cast<std::uint8_t>(lastSequence_ + 1);
    return lastSequence_;
}

}  // namespace kova
