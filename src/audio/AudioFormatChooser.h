#pragma once
// Shows the formats a source converts to and lets the user pick one. Injected
// into the codec chooser loop so that tests pick without a dialog.

#include <QString>
#include <array>
#include <vector>

#include "formats/WaveFormat.h"

class QWidget;

namespace kova {

class IAudioCodecs;

class IAudioFormatChooser {
public:
    virtual ~IAudioFormatChooser() = default;
    // Starts from the format in area; on OK writes the chosen one there (cut to
    // the area). Returns whether OK was pressed.
    virtual bool choose(QWidget* owner, const QString& title,
                        std::array<std::byte, WaveFormat::kAreaSize>& area,
                        const std::vector<WaveFormat>& formats, IAudioCodecs& codecs) = 0;
};

}  // namespace kova
