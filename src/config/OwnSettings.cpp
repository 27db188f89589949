#include "config/OwnSettings.h"

#include "config/ProgramPaths.h"

namespace kova {

OwnSettings::OwnSettings(QString path) : file_(std::move(path)) {}

QString OwnSettings::defaultPath() {
    return joinPath(programFolder(), QStringLiteral("kova.ini"));
}

bool OwnSettings::get(const OwnSwitch& s) const {
    return file_.readInt(QString::fromLatin1(s.section), QString::fromLatin1(s.key),
                         s.fallback ? 1 : 0) != 0;
}

FileReplaceResult OwnSettings::set(const OwnSwitch& s, bool on) {
    return file_.writeString(QString::fromLatin1(s.section), QString::fromLatin1(s.key),
                             on ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace kova
