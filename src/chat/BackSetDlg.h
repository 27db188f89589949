#pragma once
// "Set Background": the user picks the default colour, a colour of their own or
// a picture for every chat window. The dialog edits its own copies; the caller
// stores them on OK.

#include <QDialog>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QRadioButton;

namespace kova {

class CBackSetDlg : public QDialog {
    Q_OBJECT
public:
    enum Control {
        IDC_DEFAULT = 1081,
        IDC_USER_COLOR = 1082,
        IDC_IMAGE_FILE = 1083,
        IDC_COLORS = 1073,
        IDC_BROWSE = 1084,
        IDC_IMAGE_PATH = 1085,
    };

    struct Values {
        std::uint16_t mode = 0;
        std::uint32_t colour = 0;  // red in the low byte
        QString imagePath;
        bool operator==(const Values&) const = default;
    };

    static inline const QString kTitle = QStringLiteral("Set Background");
    static inline const QString kImageFilter = QStringLiteral(
        "Jpeg Images (*.jpg *.jpeg);;Windows Bitmaps (*.bmp);;Tiffs (*.tif *.tiff);;PNG (*.png)");

    // The choosers, replaceable for tests: a colour (nullopt on Cancel) and an
    // existing file (empty on Cancel).
    using ChooseColour = std::function<std::optional<QColor>(const QColor& initial, QWidget*)>;
    using ChooseFile = std::function<QString(const QString& initialPath, QWidget*)>;

    explicit CBackSetDlg(const Values& values, QWidget* parent = nullptr);

    // Runs the dialog modally; the edited values on OK.
    static std::optional<Values> edit(const Values& values, QWidget* parent);

    const Values& values() const { return values_; }
    QWidget* control(int id) const;

    static void setChoosers(ChooseColour colour, ChooseFile file);

private:
    void setMode(std::uint16_t mode);
    void chooseColour();
    void browse();

    Values values_;
    QRadioButton* modes_[3] = {};
    QPushButton* colours_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLabel* path_ = nullptr;
};

}  // namespace kova
