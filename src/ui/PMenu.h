#pragma once
// The program's context menus: translucent, every item as large as the largest,
// the selected one in blue and the rest in pale blue, separators as "* * *".

#include <QMenu>

namespace kova {

class CPMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr int kOpacity = 178;  // of 255
    static inline const QColor kSelected{0x81, 0xB4, 0xE9};
    static inline const QColor kItem{0xD8, 0xE6, 0xF3};
    static inline const QString kSeparatorText = QStringLiteral("* * *");

    explicit CPMenu(QWidget* parent = nullptr);

    // command 0 with an empty text appends a separator.
    QAction* AppendItem(int command, const QString& text, bool enabled = true);
    // The command of the chosen item, or 0.
    int run(const QPoint& globalPos);

    QSize itemSize() const { return itemSize_; }
    // The text a row shows: its own, or the separator's stars.
    static QString rowText(const QAction* action);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize itemSize_{0, 0};
};

}  // namespace kova
