#pragma once
// "Camera Setup" for a camera: one slider or check box per setting, each
// applied to the device as it moves.

#include <QDialog>
#include <functional>
#include <vector>

#include "platform/V4l2Controls.h"

namespace kova {

class CCameraSetupDlg : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(std::uint32_t id, std::int32_t value)>;

    CCameraSetupDlg(const QString& deviceName, const std::vector<V4l2Control>& controls,
                    Apply apply, QWidget* parent = nullptr);

private:
    Apply apply_;
};

}  // namespace kova
