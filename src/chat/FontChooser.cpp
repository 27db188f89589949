#include "chat/FontChooser.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace kova {

namespace {
constexpr int kSwatchSide = 16;

QIcon swatch(const QColor& colour) {
    QPixmap p(kSwatchSide, kSwatchSide);
    p.fill(colour);
    return QIcon(p);
}
}  // namespace

std::optional<FontChoice> chooseFontAndColour(const FontChoice& initial, QWidget* parent) {
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("Font"));
    // The font dialog as a plain child: its lists and sample, our buttons.
    auto* fonts = new QFontDialog(initial.font, &dlg);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setAccessibleName(QStringLiteral("Font"));

    QColor colour = initial.colour;
    auto* colourButton = new QPushButton(swatch(colour), QStringLiteral("Colors..."), &dlg);
    colourButton->setAccessibleName(QStringLiteral("Text color"));
    QObject::connect(colourButton, &QPushButton::clicked, &dlg, [&] {
        const QColor picked = QColorDialog::getColor(colour, &dlg);
        if (picked.isValid()) {
            colour = picked;
            colourButton->setIcon(swatch(colour));
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(colourButton);
    row->addStretch();
    row->addWidget(buttons);
    auto* top = new QVBoxLayout(&dlg);
    top->addWidget(fonts);
    top->addLayout(row);
    if (dlg.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return FontChoice{fonts->currentFont(), colour};
}

}  // namespace kova
