#include "config/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kova {

namespace {
QString configRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// The installed share folder is found from the executable's own folder, not a
// prefix fixed at build time, so that a package unpacked under any prefix finds
// its files.
QString installedAssets() {
    if (QCoreApplication::instance() == nullptr) {
        return {};
    }
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' +
                           QStringLiteral(KOVA_ASSETS_FROM_BINARY));
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
    for (const QString& base :
         {programFolder, installedAssets(), QStringLiteral(KOVA_SOURCE_ASSETS)}) {
        if (base.isEmpty()) {
            continue;
        }
        const QString path = joinPath(base, relative);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

}  // namespace kova
