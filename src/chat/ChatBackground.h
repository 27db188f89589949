#pragma once
// How chat windows are painted: the default light blue, the user's colour, or a
// picture. Shared by every chat window through the settings.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace kova {

struct AvSettings;

enum class BackgroundMode : std::uint16_t { Default = 0, UserColour = 1, ImageFile = 2 };

struct ChatBackground {
    static inline const QColor kDefaultColour{216, 230, 243};
    // The frame drawn round a chat window.
    static inline const QColor kFrameColour{129, 180, 233};

    BackgroundMode mode = BackgroundMode::Default;
    QColor colour = kDefaultColour;
    QImage picture;  // mode ImageFile only

    // A picture larger than the screen area is scaled down, proportions kept:
    // a too tall one to the area's height, else a too wide one to its width.
    // A side still too large afterwards is brought within the area too.
    static QSize renderSize(QSize picture, QSize area);

    // The background the settings describe. A picture that cannot be loaded
    // turns the stored mode back to Default.
    static ChatBackground fromSettings(AvSettings& settings, QSize screenArea);
};

// A settings colour value (red in the low byte) as a colour, and back.
QColor colourOfRef(std::uint32_t ref);
std::uint32_t refOfColour(const QColor& colour);

}  // namespace kova
