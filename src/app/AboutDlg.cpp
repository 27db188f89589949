#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/PictureStatic.h"

namespace kova {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About KOVA"));
    // The picture's background becomes the button face.
    auto* pictureLabel = new CPictureStatic(this);
    pictureLabel->SetBitmap(kPicture, palette().color(QPalette::Button));
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(tr("KOVA ver.1.05 Beta"), this));
    lines->addWidget(new QLabel(tr("Video calls, chat and files, straight to your peer."), this));
    lines->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(pictureLabel);
    body->addLayout(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
}

}  // namespace kova
