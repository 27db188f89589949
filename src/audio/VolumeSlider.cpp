#include "audio/VolumeSlider.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "ui/Pictures.h"

namespace kova {

namespace {

// The picture with its pixels of the key colour made see-through.
QPixmap keyedOut(QImage image, const QColor& key) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb k = key.rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] & 0xFFFFFF) == k) {
                row[x] = 0;
            }
        }
    }
    return QPixmap::fromImage(image);
}

// The slider's name, value and range as a screen reader reads and sets them.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(CVolumeSlider* s) : QAccessibleWidget(s, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                : QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return slider()->position(); }
    void setCurrentValue(const QVariant& value) override {
        slider()->setPositionNotified(value.toInt());
    }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    CVolumeSlider* slider() const { return static_cast<CVolumeSlider*>(widget()); }
};

QAccessibleInterface* sliderAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(CVolumeSlider::staticMetaObject.className())) {
        return new SliderAccessible(static_cast<CVolumeSlider*>(object));
    }
    return nullptr;
}

}  // namespace

CVolumeSlider::CVolumeSlider(QWidget* parent, std::unique_ptr<IMixerDevice> device)
    : QWidget(parent),
      volume_(std::move(device)),
      background_(QApplication::palette().color(QPalette::Button)) {
    static const bool installed = (QAccessible::installFactory(sliderAccessible), true);
    (void)installed;
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&volume_, &CMixerVolume::controlChanged, this, &CVolumeSlider::onExternalChange);
}

bool CVolumeSlider::SetBitmaps(int track, int topPart, int thumb, int pressedThumb,
                               const QColor& transparent) {
    return SetBitmaps(pictureImage(track), pictureImage(topPart), pictureImage(thumb),
                      pictureImage(pressedThumb), transparent);
}

bool CVolumeSlider::SetBitmaps(const QImage& track, const QImage& topPart, const QImage& thumb,
                               const QImage& pressedThumb, const QColor& transparent) {
    if (track.isNull() || topPart.isNull() || thumb.isNull() || pressedThumb.isNull()) {
        return false;
    }
    topHeight_ = logicalSize(topPart).height();
    bottomHeight_ = logicalSize(track).height();
    width_ = std::max(logicalSize(topPart).width(), logicalSize(track).width());
    // Composed at the finer of the two pictures; the other is enlarged pixel by
    // pixel, which keeps its key colour exact.
    const qreal ratio = std::max(topPart.devicePixelRatio(), track.devicePixelRatio());
    QImage whole(QSize(width_, topHeight_ + bottomHeight_) * ratio, QImage::Format_ARGB32);
    whole.setDevicePixelRatio(ratio);
    whole.fill(transparent);
    {
        QPainter p(&whole);
        p.drawImage(0, 0, topPart);
        p.drawImage(0, topHeight_, track);
    }
    track_ = keyedOut(whole, transparent);
    thumb_ = keyedOut(thumb, transparent);
    pressedThumb_ = keyedOut(pressedThumb, transparent);
    thumbWidth_ = logicalSize(thumb).width();
    thumbHeight_ = logicalSize(thumb).height();
    resize(width_, topHeight_ + bottomHeight_);
    update();
    return true;
}

void CVolumeSlider::SetBackground(const QColor& colour) {
    background_ = colour;
    // A see-through background needs the parent painted under the slider.
    setAttribute(Qt::WA_OpaquePaintEvent, colour.alpha() == 255);
    update();
}

void CVolumeSlider::Bind(bool microphone) {
    if (microphone) {
        volume_.OpenMicrophone();
    } else {
        volume_.OpenSpeakers();
    }
    minimum_ = static_cast<int>(volume_.minimum());
    maximum_ = static_cast<int>(volume_.maximum());
    bound_ = true;
    microphone_ = microphone;
    position_ = static_cast<int>(volume_.Volume());
    const QString name = microphone ? kMicrophone : kSpeakers;
    setAccessibleName(name);
    const QString missing = microphone ? kNoMicrophone : kNoSpeakers;
    setToolTip(volume_.valid() ? name : missing);
    setAccessibleDescription(volume_.valid() ? QString() : missing);
    update();
}

void CVolumeSlider::setPositionNotified(int position) {
    setPosition(position);
    update();
    notify();
}

void CVolumeSlider::Step(bool up) {
    const std::int64_t step = (std::int64_t{maximum_} - minimum_) / 5;
    std::int64_t v = volume_.Volume() + (up ? step : -step);
    v = std::clamp<std::int64_t>(v, 0, maximum_);
    volume_.SetVolume(v);
    // Mixers that do not report our own writes still move the thumb.
    onExternalChange();
}

int CVolumeSlider::thumbTop() const {
    const int h = topHeight_ + bottomHeight_;
    const std::int64_t range = std::int64_t{maximum_} - minimum_;
    if (range <= 0) {
        return h - thumbHeight_;
    }
    return static_cast<int>(h - thumbHeight_ -
                            std::int64_t{bottomHeight_ - thumbHeight_} * position_ / range);
}

int CVolumeSlider::positionFromY(int y) const {
    const int h = topHeight_ + bottomHeight_;
    const int travel = bottomHeight_ - thumbHeight_;
    if (travel <= 0) {
        return minimum_;
    }
    const std::int64_t p =
        std::int64_t{h - y - thumbHeight_ / 2} * (std::int64_t{maximum_} - minimum_) / travel;
    return static_cast<int>(std::clamp<std::int64_t>(p, minimum_, maximum_));
}

void CVolumeSlider::setPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

void CVolumeSlider::notify() {
    if (!bound_ || position_ == lastNotified_) {
        return;
    }
    lastNotified_ = position_;
    emit positionNotified(position_);
    if (volume_.valid()) {
        volume_.SetVolume(position_);
    }
}

void CVolumeSlider::onExternalChange() {
    position_ = static_cast<int>(volume_.Volume());
    update();
}

void CVolumeSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    if (bound_ && !volume_.valid()) {
        // No thumb at a made-up zero: the track faded and the reason along it.
        p.setOpacity(0.35);
        p.drawPixmap(0, 0, track_);
        p.setOpacity(1.0);
        p.translate(width() / 2, height() / 2);
        p.rotate(-90);
        QFont f = font();
        f.setPixelSize(std::max(8, std::min(width() - 4, 11)));
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        const QRect along(-height() / 2, -width() / 2, height(), width());
        p.drawText(along, Qt::AlignCenter | Qt::TextWordWrap,
                   microphone_ ? kNoMicrophone : kNoSpeakers);
        return;
    }
    if (!track_.isNull()) {
        p.drawPixmap(0, 0, track_);
    }
    const QPixmap& thumb = dragging_ ? pressedThumb_ : thumb_;
    if (!thumb.isNull()) {
        p.drawPixmap((width_ - thumbWidth_) / 2, thumbTop(), thumb);
    }
}

void CVolumeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (rect().contains(event->position().toPoint())) {
        dragging_ = true;
        grabMouse();
        setPosition(positionFromY(static_cast<int>(event->position().y())));
        notify();
    }
    update();
}

void CVolumeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        setPosition(positionFromY(static_cast<int>(event->position().y())));
        notify();
        update();
    }
}

void CVolumeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        releaseMouse();
        setPosition(positionFromY(static_cast<int>(event->position().y())));
        notify();
        update();
    }
}

void CVolumeSlider::wheelEvent(QWheelEvent* event) {
    const int quarter = static_cast<int>((std::int64_t{maximum_} - minimum_) / 4);
    const int delta = event->angleDelta().y();
    setPosition(delta > 0 ? position_ + quarter : position_ - quarter);
    update();
    notify();
    event->accept();
}

void CVolumeSlider::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (!arrow || (event->modifiers() & Qt::ControlModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    setPosition(position_ + (event->key() == Qt::Key_Up ? 1 : -1));
    update();
}

void CVolumeSlider::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CVolumeSlider::focusOutEvent(QFocusEvent* event) {
    update();
    notify();
    QWidget::focusOutEvent(event);
}

}  // namespace kova
