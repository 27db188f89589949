#include "config/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kova {

namespace {
QString configRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}
}  // namespace

QString programFolder() {
    const QString folder = configRoot() + QStringLiteral("/kova");
    QDir().mkpath(folder);
    return folder;
}

QString profilePath() {
    return configRoot() + QStringLiteral("/kova.INI");
}

QString joinPath(const QString& folder, const QString& relative) {
    QString rel = relative;
    rel.replace(u'\\', u'/');
    return folder + u'/' + rel;
}

QString findAsset(const QString& programFolder, const QString& relative) {
    for (const QString& base : {programFolder, QStringLiteral(KOVA_INSTALLED_ASSETS),
                                QStringLiteral(KOVA_SOURCE_ASSETS)}) {
        const QString path = joinPath(base, relative);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

}  // namespace kova
