#pragma once
// A line of text that behaves as a web link: link colours, underline, hand
// cursor, the address as its tooltip, and a click opens it in the browser.
// Tab reaches it and Enter or Space opens it; screen readers see a link.

#include <QLabel>
#include <functional>

namespace kova {

class CLinkStatic : public QLabel {
    Q_OBJECT
public:
    static inline const QColor kLink{0x00, 0x00, 0xEE};
    static inline const QColor kVisited{0x55, 0x1A, 0x8B};

    explicit CLinkStatic(const QString& text = {}, QWidget* parent = nullptr);

    void SetAddress(const QString& address);
    // An invalid hover colour means the system's highlight colour.
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover = {});
    void SetVisited(bool visited);
    void SetUnderline(bool underline);
    void SetAutoSize(bool autoSize);

    QString address() const { return address_; }
    bool visited() const { return visited_; }
    QColor currentColour() const;

    // Opens the address with the desktop's handler; false when nothing opened it.
    // Replaceable in tests.
    std::function<bool(const QString&)> open;
    // What a click, Enter, Space and a screen reader's press do.
    void activate();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyLook();

    QString address_;
    QColor link_ = kLink;
    QColor visitedColour_ = kVisited;
    QColor hover_;
    bool hovering_ = false;
    bool visited_ = false;
    bool underline_ = true;
    bool autoSize_ = true;
};

}  // namespace kova
