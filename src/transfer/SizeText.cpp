#include "transfer/SizeText.h"

namespace kova {

namespace {
QString scaled(std::uint64_t bytes, std::uint64_t unit, const char* name) {
    const std::uint64_t whole = bytes / unit;
    const std::uint64_t tenths = (bytes % unit) * 10 / unit;
    if (tenths == 0) {
        return QStringLiteral("%1 %2 ").arg(whole).arg(QLatin1String(name));
    }
    return QStringLiteral("%1.%2 %3 ").arg(whole).arg(tenths).arg(QLatin1String(name));
}
}  // namespace

QString SizeText(std::uint32_t bytes) {
    if (bytes < 1024) {
        return QStringLiteral("%1 B ").arg(bytes);
    }
    if (bytes < 1048576) {
        return scaled(bytes, 1024, "kB");
    }
    return scaled(bytes, 1048576, "mB");
}

int progressPercent(std::int64_t done, std::int64_t total) {
    if (done >= total || total <= 0) {
        return 100;
    }
    return static_cast<int>(done * 100 / total);
}

}  // namespace kova
