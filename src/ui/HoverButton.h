#pragma once
// A picture button drawn from a strip of four equal frames: normal, hover or
// focus, pressed, disabled. The strip's background colour becomes the key colour
// of the window it sits on; over a parent's background picture the key colour is
// see-through.

#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>

namespace kova {

class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Frame { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };
    static constexpr int kFrames = 4;
    static inline const QColor kFocusShadow{0xB6, 0xBD, 0xC8};

    explicit CHoverButton(QWidget* parent = nullptr);

    // focusFrame: the button shows its focus and keeps it after a click; without
    // it the button never takes the focus from where the user typed.
    bool LoadBitmap(int pictureId, const QColor& keyColour, bool focusFrame);
    bool LoadBitmap(QImage strip, const QColor& keyColour, bool focusFrame);
    void SetTooltip(const QString& text, bool activate = true);
    // The parent's background picture, drawn under the button; yOffset is where
    // the picture starts in the parent.
    void SetParentBackground(const QPixmap* background, int yOffset);

    Frame frame() const;
    QSize sizeHint() const override;
    QSize frameSize() const { return frameSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap plain_;
    QPixmap keyed_;      // the key colour see-through
    QSize frameSize_;    // logical
    QSize sourceFrame_;  // in the strip's own pixels
    QColor key_;
    bool focusFrame_ = true;
    bool hovered_ = false;
    const QPixmap* parentBackground_ = nullptr;
    int backgroundOffset_ = 0;
};

}  // namespace kova
