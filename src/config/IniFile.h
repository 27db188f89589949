#pragma once
// INI files with the semantics of the Windows private-profile calls, which the
// program's contact list and profile files were always written with: section and
// key names compare case-insensitively, values are trimmed and lose one pair of
// enclosing quotes, reads cut to a buffer size, and every call reads or writes the
// file itself, so hand edits are seen at once.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "platform/FileReplace.h"

namespace kova {

// The parsed text of one INI file. Lines that are neither sections nor keys
// (comments, blanks) are kept so a rewrite changes only what was set.
class IniDocument {
public:
    // Accepts UTF-8 with or without a byte-order mark and UTF-16LE with one.
    static IniDocument parse(const QByteArray& bytes);
    // UTF-8 without a byte-order mark, CRLF line ends.
    QByteArray serialize() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void removeSection(const QString& section);
    bool hasSection(const QString& section) const;

private:
    struct Line {
        QString text;
        QString key;  // empty for lines that hold no key
        QString value;
    };
    struct Section {
        QString name;  // empty for the lines before the first header
        bool hasHeader = false;
        std::vector<Line> lines;
    };

    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    std::vector<Section> sections_;
};

// One INI file on disk, read and written on every call.
class IniFile {
public:
    explicit IniFile(QString path = {}) : path_(std::move(path)) {}

    const QString& path() const { return path_; }
    void setPath(QString path) { path_ = std::move(path); }

    // The value, or fallback when the section or key is missing; at most
    // bufferUnits - 1 UTF-16 units come back, as from a buffer of that size.
    QString readString(const QString& section, const QString& key, const QString& fallback,
                       int bufferUnits) const;
    // The leading decimal number of the value; fallback when the key is missing.
    // A value with no digits reads as 0.
    long long readInt(const QString& section, const QString& key, long long fallback) const;
    // Writes through a temporary file renamed over the old one; on failure the
    // old file stays as it was.
    FileReplaceResult writeString(const QString& section, const QString& key, const QString& value);
    FileReplaceResult removeSection(const QString& section);

    // No practical limit: values the program itself writes are short.
    static constexpr int kUnlimited = 1 << 20;

private:
    IniDocument load() const;
    FileReplaceResult store(const IniDocument& doc);

    QString path_;
};

}  // namespace kova
