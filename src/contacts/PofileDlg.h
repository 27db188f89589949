#pragma once
// "My Profile": the name and the e-mail (or other unique ID) that peers see,
// with the host's own addresses so the user can tell a peer where to call,
// and what the router does with our ports, kept current while it is open.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kova {

struct PortMappingState;

class CPofileDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxField = 64;
    static constexpr int kMaxPassword = 10;
    // A public page that shows the visitor's address; the program never reads it.
    static inline const QString kPublicAddressPage = QStringLiteral("https://ifconfig.me/");

    CPofileDlg(const QString& name, const QString& mail, const QString& localAddresses,
               QWidget* parent = nullptr);

    QString name() const;
    QString mail() const;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QLineEdit* mailEdit() const { return mail_; }
    QPushButton* okButton() const { return ok_; }
    QLabel* portMappingLabel() const { return portMapping_; }

    void showPortMapping(const PortMappingState& state);

private:
    void updateOk();
    void cutPassword(QLineEdit* edit);

    QLineEdit* name_ = nullptr;
    // Never shown and never read back: the stored password does not change here.
    QLineEdit* password_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    QLineEdit* mail_ = nullptr;
    QPushButton* ok_ = nullptr;
    QLabel* portMapping_ = nullptr;
};

}  // namespace kova
