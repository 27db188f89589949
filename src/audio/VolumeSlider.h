#pragma once
// A vertical slider drawn from pictures and bound to one mixer volume: moving
// it sets the system volume, a volume changed elsewhere moves it. Arrow keys
// move it quietly; the mixer hears of them when the focus leaves. Without a
// volume to bind to it says so in words instead of standing at zero, and a
// screen reader sees a named slider with its value.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <memory>

#include "audio/MixerVolume.h"

namespace kova {

class CVolumeSlider : public QWidget {
    Q_OBJECT
public:
    // No device: the system mixer.
    explicit CVolumeSlider(QWidget* parent = nullptr, std::unique_ptr<IMixerDevice> device = {});

    // Picture ids; pixels of the transparent colour are left out.
    bool SetBitmaps(int track, int topPart, int thumb, int pressedThumb, const QColor& transparent);
    bool SetBitmaps(const QImage& track, const QImage& topPart, const QImage& thumb,
                    const QImage& pressedThumb, const QColor& transparent);
    void SetBackground(const QColor& colour);
    void Bind(bool microphone);
    // A fifth of the range up or down, as the peer asks.
    void Step(bool up);
    static inline const QString kSpeakers = QStringLiteral("Speaker volume");
    static inline const QString kMicrophone = QStringLiteral("Microphone volume");
    static inline const QString kNoSpeakers = QStringLiteral("No speakers found");
    static inline const QString kNoMicrophone = QStringLiteral("No microphone found");
    // Bound to a volume that can be set.
    bool available() const { return bound_ && volume_.valid(); }
    // A screen reader's setting, as a drag to that position.
    void setPositionNotified(int position);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    CMixerVolume& mixerVolume() { return volume_; }
    // Top of the thumb for the current position.
    int thumbTop() const;
    int positionFromY(int y) const;

signals:
    // The owner's notice of a new position.
    void positionNotified(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setPosition(int position);
    void notify();
    void onExternalChange();

    CMixerVolume volume_;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
    int lastNotified_ = -1;
    QPixmap track_;
    QPixmap thumb_;
    QPixmap pressedThumb_;
    QColor background_;
    // Sizes in logical pixels.
    int thumbWidth_ = 0;
    int thumbHeight_ = 0;
    int topHeight_ = 0;
    int bottomHeight_ = 0;
    int width_ = 0;
    bool dragging_ = false;
    bool bound_ = false;
    bool microphone_ = false;
};

}  // namespace kova
