#include "audio/MixerVolume.h"

#include <QSocketNotifier>
#include <algorithm>

#include "platform/AlsaMixer.h"

namespace kova {

CMixerVolume::CMixerVolume(std::unique_ptr<IMixerDevice> device, QObject* parent)
    : QObject(parent), device_(device ? std::move(device) : std::make_unique<AlsaMixer>()) {}

CMixerVolume::~CMixerVolume() {
    Close();
}

bool CMixerVolume::OpenSpeakers() {
    return open(IMixerDevice::Line::Speakers);
}

bool CMixerVolume::OpenMicrophone() {
    return open(IMixerDevice::Line::Microphone);
}

bool CMixerVolume::open(IMixerDevice::Line line) {
    Close();
    if (!device_->open(line)) {
        return false;
    }
    minimum_ = device_->minimum();
    maximum_ = device_->maximum();
    channels_ = line == IMixerDevice::Line::Microphone ? device_->channels() : 0;
    valid_ = true;
    // Change notifications arrive on the mixer's own descriptors, watched on
    // this thread like the sockets are.
    for (int fd : device_->pollDescriptors()) {
        auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(n, &QSocketNotifier::activated, this, [this] {
            device_->handleEvents();
            emit controlChanged();
        });
        notifiers_.push_back(n);
    }
    return true;
}

void CMixerVolume::Close() {
    for (QSocketNotifier* n : notifiers_) {
        n->setEnabled(false);
        delete n;
    }
    notifiers_.clear();
    if (device_) {
        device_->close();
    }
    valid_ = false;
    minimum_ = maximum_ = 0;
}

std::int64_t CMixerVolume::Volume() const {
    return valid_ ? device_->volume() : 0;
}

void CMixerVolume::SetVolume(std::int64_t value) {
    if (valid_) {
        device_->setVolume(std::min(value, maximum_));
    }
}

}  // namespace kova
