#pragma once
// Whole-file replacement for the settings, contact and profile files: the new
// bytes go to a temporary file beside the old one, and only when every write,
// the sync to disk and the close have succeeded is it renamed over the old file.
// A full disk or a lost folder leaves the old file exactly as it was.

#include <QByteArray>
#include <QString>

namespace kova {

struct FileReplaceResult {
    bool ok = true;
    QString reason;  // the system's words for the failure, empty when ok
    explicit operator bool() const { return ok; }
};

FileReplaceResult replaceFile(const QString& path, const QByteArray& bytes);

}  // namespace kova
