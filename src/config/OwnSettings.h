#pragma once
// Settings of the program's own that the fixed-layout files (avset.cfg,
// clset.cfg) cannot carry: ~/.config/kova/kova.ini, through the INI module, so
// keys this version does not know are kept when it writes.

#include <QString>
#include <optional>

#include "config/IniFile.h"

namespace kova {

// One on/off switch: where it is kept and what it is when nothing is stored.
struct OwnSwitch {
    const char* section;
    const char* key;
    bool fallback;
};

namespace switches {
inline constexpr OwnSwitch kPortMapping{"Network", "PortMapping", true};
inline constexpr OwnSwitch kEchoCancellation{"AudioProcessing", "EchoCancellation", true};
inline constexpr OwnSwitch kNoiseSuppression{"AudioProcessing", "NoiseSuppression", true};
inline constexpr OwnSwitch kGainControl{"AudioProcessing", "GainControl", true};
}  // namespace switches

class OwnSettings {
public:
    // The file in the program folder; tests pass their own.
    explicit OwnSettings(QString path = defaultPath());
    static QString defaultPath();

    // Any value whose leading number is not 0 is on; a missing key is the fallback.
    bool get(const OwnSwitch& s) const;
    FileReplaceResult set(const OwnSwitch& s, bool on);

    // When a contact (by its address text) last answered, as wall-clock
    // milliseconds; nothing when never or unreadable. Kept to the second.
    std::optional<qint64> lastSeen(const QString& address) const;
    FileReplaceResult setLastSeen(const QString& address, qint64 msSinceEpoch);

    // For settings that are not switches (times, names).
    IniFile& file() { return file_; }
    const IniFile& file() const { return file_; }

private:
    IniFile file_;
};

}  // namespace kova
