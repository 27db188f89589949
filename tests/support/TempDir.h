#pragma once
// A fresh folder per test, with helpers to read and write whole files.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace kova::test {

class TempDir {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }

    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(bytes);
        }
    }

private:
    QTemporaryDir dir_;
};

}  // namespace kova::test
