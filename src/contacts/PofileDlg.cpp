#include "contacts/PofileDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "signalling/PortMappingState.h"
#include "ui/LinkStatic.h"

namespace kova {

CPofileDlg::CPofileDlg(const QString& name, const QString& mail, const QString& localAddresses,
                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("My Profile"));

    name_ = new QLineEdit(name.left(kMaxField), this);
    name_->setMaxLength(kMaxField);
    mail_ = new QLineEdit(mail.left(kMaxField), this);
    mail_->setMaxLength(kMaxField);

    password_ = new QLineEdit(QStringLiteral("1"), this);
    confirm_ = new QLineEdit(QStringLiteral("1"), this);
    auto* passwordRule = new QLabel(
        tr("Password minimum 6, maximum 10 letters (for version without server ):"), this);
    for (QWidget* w : {static_cast<QWidget*>(password_), static_cast<QWidget*>(confirm_),
                       static_cast<QWidget*>(passwordRule)}) {
        w->hide();
    }
    for (QLineEdit* edit : {password_, confirm_}) {
        edit->setEchoMode(QLineEdit::Password);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { cutPassword(edit); });
    }

    auto* local = new QLineEdit(localAddresses, this);
    local->setReadOnly(true);
    auto* global = new CLinkStatic(tr("Obtain by Internet"), this);
    global->SetAutoSize(false);
    global->SetAddress(kPublicAddressPage);

    auto* form = new QFormLayout;
    form->addRow(tr("Name"), name_);
    form->addRow(tr("E-mail (or Unique ID)"), mail_);
    form->addRow(tr("My Local IP Address"), local);
    form->addRow(tr("My Global IP Address"), global);
    name_->setAccessibleName(tr("Name"));
    mail_->setAccessibleName(tr("E-mail (or Unique ID)"));
    local->setAccessibleName(tr("My Local IP Address"));
    global->setAccessibleName(tr("My Global IP Address"));
    password_->setAccessibleName(tr("Password"));
    confirm_->setAccessibleName(tr("Confirm password"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    // Enabled by the first edit, as before.
    ok_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name_, &QLineEdit::textChanged, this, &CPofileDlg::updateOk);
    connect(mail_, &QLineEdit::textChanged, this, &CPofileDlg::updateOk);

    // Hidden until the program says what the router did.
    portMapping_ = new QLabel(this);
    portMapping_->setTextFormat(Qt::PlainText);
    portMapping_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    portMapping_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(portMapping_);
    layout->addWidget(buttons);
}

QString CPofileDlg::name() const {
    return name_->text().left(kMaxField);
}

QString CPofileDlg::mail() const {
    return mail_->text().left(kMaxField);
}

void CPofileDlg::showPortMapping(const PortMappingState& state) {
    QStringList lines;
    if (!state.method.isEmpty()) {
        lines << tr("Router: %1, external address %2")
                     .arg(state.method,
                          state.externalAddress.isEmpty() ? tr("unknown") : state.externalAddress);
        if (state.reservedExternal) {
            lines << tr("(not a public address: another router may be above it)");
        }
    }
    for (const PortMappingState::Port& port : state.ports) {
        lines << QStringLiteral("%1 %2: %3")
                     .arg(QLatin1String(protocolName(port.protocol)))
                     .arg(port.number)
                     .arg(describePort(port));
    }
    portMapping_->setText(lines.join(QLatin1Char('\n')));
    portMapping_->setVisible(!lines.isEmpty());
}

void CPofileDlg::cutPassword(QLineEdit* edit) {
    if (edit->text().size() > kMaxPassword) {
        edit->setText(edit->text().left(kMaxPassword));
    }
    updateOk();
}

void CPofileDlg::updateOk() {
    ok_->setEnabled(!name_->text().isEmpty() && !mail_->text().isEmpty());
}

}  // namespace kova
