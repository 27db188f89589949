#pragma once
// Binds to the speakers' or the microphone's volume control of the system
// mixer, reads and sets it, and signals when it changed elsewhere. Without a
// mixer it stays invalid and silent: Volume is 0 and SetVolume does nothing.

#include <QObject>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/MixerDevice.h"

class QSocketNotifier;

namespace kova {

class CMixerVolume : public QObject {
    Q_OBJECT
public:
    // No device: the system mixer.
    explicit CMixerVolume(std::unique_ptr<IMixerDevice> device = {}, QObject* parent = nullptr);
    ~CMixerVolume() override;

    bool OpenSpeakers();
    bool OpenMicrophone();
    void Close();

    bool valid() const { return valid_; }
    int channels() const { return channels_; }
    std::int64_t minimum() const { return minimum_; }
    std::int64_t maximum() const { return maximum_; }
    std::int64_t Volume() const;
    // Cut to the maximum first.
    void SetVolume(std::int64_t value);

signals:
    // The control changed, perhaps by another program.
    void controlChanged();

private:
    bool open(IMixerDevice::Line line);

    std::unique_ptr<IMixerDevice> device_;
    int channels_ = 0;
    bool valid_ = false;
    std::int64_t minimum_ = 0;
    std::int64_t maximum_ = 0;
    std::vector<QSocketNotifier*> notifiers_;
};

}  // namespace kova
