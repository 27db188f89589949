#include "chat/BackSetDlg.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "chat/ChatBackground.h"

namespace kova {

namespace {

CBackSetDlg::ChooseColour& colourChooser() {
    static CBackSetDlg::ChooseColour choose = [](const QColor& initial, QWidget* parent) {
        const QColor c = QColorDialog::getColor(initial, parent);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    };
    return choose;
}

CBackSetDlg::ChooseFile& fileChooser() {
    static CBackSetDlg::ChooseFile choose = [](const QString& initial, QWidget* parent) {
        const QString dir = initial.isEmpty() ? QString() : QFileInfo(initial).absolutePath();
        QString selected = QStringLiteral("Jpeg Images (*.jpg *.jpeg)");
        QFileDialog dialog(parent, QString(), dir, CBackSetDlg::kImageFilter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("jpg"));
        dialog.selectNameFilter(selected);
        dialog.selectFile(QStringLiteral("*.jpg"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().front();
    };
    return choose;
}

}  // namespace

void CBackSetDlg::setChoosers(ChooseColour colour, ChooseFile file) {
    if (colour) {
        colourChooser() = std::move(colour);
    }
    if (file) {
        fileChooser() = std::move(file);
    }
}

CBackSetDlg::CBackSetDlg(const Values& values, QWidget* parent) : QDialog(parent), values_(values) {
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QButtonGroup(this);
    const char* names[] = {"Default", "User Color", "Image File"};
    const int ids[] = {IDC_DEFAULT, IDC_USER_COLOR, IDC_IMAGE_FILE};
    for (int i = 0; i < 3; ++i) {
        modes_[i] = new QRadioButton(QString::fromLatin1(names[i]), this);
        modes_[i]->setObjectName(QString::number(ids[i]));
        group->addButton(modes_[i], i);
    }
    colours_ = new QPushButton(QStringLiteral("Colors..."), this);
    colours_->setObjectName(QString::number(IDC_COLORS));
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    browse_->setObjectName(QString::number(IDC_BROWSE));
    colours_->setAccessibleName(QStringLiteral("Background color"));
    browse_->setAccessibleName(QStringLiteral("Background image file"));
    path_ = new QLabel(values_.imagePath, this);
    path_->setObjectName(QString::number(IDC_IMAGE_PATH));
    path_->setMinimumWidth(260);
    path_->setTextFormat(Qt::PlainText);
    path_->setWordWrap(true);

    layout->addWidget(modes_[0]);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(modes_[1]);
    colourRow->addStretch();
    colourRow->addWidget(colours_);
    layout->addLayout(colourRow);
    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(modes_[2]);
    imageRow->addStretch();
    imageRow->addWidget(browse_);
    layout->addLayout(imageRow);
    layout->addWidget(path_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { setMode(static_cast<std::uint16_t>(id)); });
    connect(colours_, &QPushButton::clicked, this, &CBackSetDlg::chooseColour);
    connect(browse_, &QPushButton::clicked, this, &CBackSetDlg::browse);
    setMode(values_.mode);
}

QWidget* CBackSetDlg::control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void CBackSetDlg::setMode(std::uint16_t mode) {
    values_.mode = mode;
    if (mode < 3) {
        modes_[mode]->setChecked(true);
    }
    colours_->setEnabled(mode == 1);
    browse_->setEnabled(mode == 2);
}

void CBackSetDlg::chooseColour() {
    if (auto c = colourChooser()(colourOfRef(values_.colour), this)) {
        values_.colour = refOfColour(*c);
    }
}

void CBackSetDlg::browse() {
    const QString path = fileChooser()(values_.imagePath, this);
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        values_.imagePath = path;
        path_->setText(path);
    }
}

std::optional<CBackSetDlg::Values> CBackSetDlg::edit(const Values& values, QWidget* parent) {
    CBackSetDlg dlg(values, parent);
    if (dlg.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dlg.values();
}

}  // namespace kova
