#include "video/CameraSetupDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSlider>
#include <QVBoxLayout>

namespace kova {

CCameraSetupDlg::CCameraSetupDlg(const QString& deviceName,
                                 const std::vector<V4l2Control>& controls, Apply apply,
                                 QWidget* parent)
    : QDialog(parent), apply_(std::move(apply)) {
    setWindowTitle(deviceName);
    auto* form = new QFormLayout;
    for (const V4l2Control& c : controls) {
        if (c.boolean) {
            auto* box = new QCheckBox(this);
            box->setChecked(c.value != 0);
            connect(box, &QCheckBox::toggled, this,
                    [this, id = c.id](bool on) { apply_(id, on ? 1 : 0); });
            box->setAccessibleName(c.name);
            form->addRow(c.name, box);
        } else {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setRange(c.minimum, c.maximum);
            slider->setSingleStep(c.step);
            slider->setValue(c.value);
            slider->setMinimumWidth(200);
            connect(slider, &QSlider::valueChanged, this,
                    [this, id = c.id](int value) { apply_(id, value); });
            slider->setAccessibleName(c.name);
            form->addRow(c.name, slider);
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(buttons);
}

}  // namespace kova
