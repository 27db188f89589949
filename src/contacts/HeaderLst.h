#pragma once
// The contact list's column headers, drawn in the program's colours.

#include <QHeaderView>

namespace kova {

class CHeaderLst : public QHeaderView {
    Q_OBJECT
public:
    static inline const QColor kFill{216, 230, 243};
    static inline const QColor kText{50, 50, 128};

    explicit CHeaderLst(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace kova
