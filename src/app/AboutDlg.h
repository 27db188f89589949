#pragma once
// "About KOVA": the program picture, the version line and OK.

#include <QDialog>

namespace kova {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPicture = 163;
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace kova
