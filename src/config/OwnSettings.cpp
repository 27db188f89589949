#include "config/OwnSettings.h"

#include <QDateTime>
#include <QUrl>

#include "config/ProgramPaths.h"

namespace kova {

namespace {

const QString kLastSeen = QStringLiteral("LastSeen");

// An address is what the user typed: '=', ';' or brackets in a key would
// break the file's lines, so anything but a host name's letters is escaped.
QString lastSeenKey(const QString& address) {
    return QString::fromLatin1(QUrl::toPercentEncoding(address.toLower()));
}

}  // namespace

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

std::optional<qint64> OwnSettings::lastSeen(const QString& address) const {
    const QString text = file_.readString(kLastSeen, lastSeenKey(address), QString(), 64);
    const QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid()) {
        return std::nullopt;
    }
    return when.toMSecsSinceEpoch();
}

FileReplaceResult OwnSettings::setLastSeen(const QString& address, qint64 msSinceEpoch) {
    return file_.writeString(
        kLastSeen, lastSeenKey(address),
        QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(Qt::ISODate));
}

}  // namespace kova
