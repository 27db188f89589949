#pragma once
// The sound server's (PulseAudio's, or PipeWire's in its place) devices by the
// descriptions the desktop's sound settings show. Asked on the caller's thread
// with a private main loop whose every poll is bounded by the wait, so a
// missing or hung server costs at most that wait and never spawns a server.

#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kova {

struct PulseDevice {
    std::string name;     // the server's own name, what a stream is pointed at
    QString description;  // "Built-in Audio Analog Stereo"
};

struct PulseDevices {
    std::vector<PulseDevice> sources;  // recording devices, without the sinks' monitors
    std::vector<PulseDevice> sinks;
};

// The devices in the server's order; nullopt when no server answers in time.
std::optional<PulseDevices> pulseDevices(std::chrono::milliseconds wait);

}  // namespace kova
