#pragma once
// The video subsystem's logging category, off by default:
// QT_LOGGING_RULES="kova.video.debug=true" turns it on.

#include <QLoggingCategory>

namespace kova {
Q_DECLARE_LOGGING_CATEGORY(lcVideo)
}
