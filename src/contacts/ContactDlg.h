#pragma once
// "Contact Data": name, e-mail (or unique ID) and address of one contact.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kova {

class CContactDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxField = 64;

    CContactDlg(const QString& name, const QString& mail, const QString& addr,
                QWidget* parent = nullptr);

    QString name() const;
    QString mail() const;
    QString addr() const;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* mailEdit() const { return mail_; }
    QLineEdit* addrEdit() const { return addr_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLineEdit* name_;
    QLineEdit* mail_;
    QLineEdit* addr_;
    QPushButton* ok_;
};

}  // namespace kova
