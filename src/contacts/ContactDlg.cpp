#include "contacts/ContactDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kova {

CContactDlg::CContactDlg(const QString& name, const QString& mail, const QString& addr,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Contact Data"));
    auto makeEdit = [this](const QString& text) {
        auto* edit = new QLineEdit(text.left(kMaxField), this);
        edit->setMaxLength(kMaxField);
        edit->setMinimumWidth(240);
        return edit;
    };
    name_ = makeEdit(name);
    mail_ = makeEdit(mail);
    addr_ = makeEdit(addr);
    auto* form = new QFormLayout;
    form->addRow(tr("Contact Name"), name_);
    form->addRow(tr("E-mail (or Unique ID)"), mail_);
    form->addRow(tr("IP address"), addr_);
    name_->setAccessibleName(tr("Contact Name"));
    mail_->setAccessibleName(tr("E-mail (or Unique ID)"));
    addr_->setAccessibleName(tr("IP address"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Once a name and an address were there, OK stays enabled.
    for (QLineEdit* edit : {name_, mail_, addr_}) {
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!name_->text().isEmpty() && !addr_->text().isEmpty()) {
                ok_->setEnabled(true);
            }
        });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString CContactDlg::name() const {
    return name_->text();
}
QString CContactDlg::mail() const {
    return mail_->text();
}
QString CContactDlg::addr() const {
    return addr_->text();
}

}  // namespace kova
