#include "config/IniFile.h"

#include "platform/FileReplace.h"

#include <QFile>
#include <QStringDecoder>

namespace kova {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes.mid(3));
    }
    return QString::fromUtf8(bytes);
}

QString unquote(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniDocument IniDocument::parse(const QByteArray& bytes) {
    IniDocument doc;
    doc.sections_.push_back(Section{});
    const QString text = decodeText(bytes);
    const auto lines = QStringView(text).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].toString();
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        // A final newline leaves one empty piece that is no line of the file.
        if (i == lines.size() - 1 && line.isEmpty()) {
            break;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'[')) {
            const qsizetype close = trimmed.indexOf(u']');
            const QString name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
            doc.sections_.push_back(Section{name, true, {}});
            continue;
        }
        Line entry{line, {}, {}};
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && !trimmed.startsWith(u';')) {
            entry.key = line.left(eq).trimmed();
            entry.value = unquote(line.mid(eq + 1));
        }
        doc.sections_.back().lines.push_back(std::move(entry));
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    QString out;
    for (const Section& s : sections_) {
        if (s.hasHeader) {
            out += QLatin1Char('[') + s.name + QLatin1String("]\r\n");
        }
        for (const Line& l : s.lines) {
            out += l.text + QLatin1String("\r\n");
        }
    }
    return out.toUtf8();
}

IniDocument::Section* IniDocument::find(const QString& section) {
    for (Section& s : sections_) {
        if (s.hasHeader && sameName(s.name, section)) {
            return &s;
        }
    }
    return nullptr;
}

const IniDocument::Section* IniDocument::find(const QString& section) const {
    return const_cast<IniDocument*>(this)->find(section);
}

bool IniDocument::hasSection(const QString& section) const {
    return find(section) != nullptr;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    if (const Section* s = find(section)) {
        for (const Line& l : s->lines) {
            if (!l.key.isEmpty() && sameName(l.key, key)) {
                return l.value;
            }
        }
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& rawValue) {
    // A line break inside a value (a peer's name, say) would start new keys or
    // sections of its choosing.
    QString value = rawValue;
    value.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    Section* s = find(section);
    if (s == nullptr) {
        sections_.push_back(Section{section, true, {}});
        s = &sections_.back();
    }
    Line line{key + u'=' + value, key, value};
    for (Line& l : s->lines) {
        if (!l.key.isEmpty() && sameName(l.key, key)) {
            line.text = l.key + u'=' + value;
            line.key = l.key;
            l = std::move(line);
            return;
        }
    }
    // New keys go after the section's last key, ahead of trailing blank lines.
    auto at = s->lines.end();
    while (at != s->lines.begin() && std::prev(at)->key.isEmpty() &&
           std::prev(at)->text.trimmed().isEmpty()) {
        --at;
    }
    s->lines.insert(at, std::move(line));
}

void IniDocument::removeSection(const QString& section) {
    std::erase_if(sections_,
                  [&](const Section& s) { return s.hasHeader && sameName(s.name, section); });
}

IniDocument IniFile::load() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return IniDocument::parse({});
    }
    return IniDocument::parse(file.readAll());
}

FileReplaceResult IniFile::store(const IniDocument& doc) {
    return replaceFile(path_, doc.serialize());
}

QString IniFile::readString(const QString& section, const QString& key, const QString& fallback,
                            int bufferUnits) const {
    QString value = load().value(section, key).value_or(fallback);
    if (bufferUnits <= 0) {
        return {};
    }
    if (value.size() > bufferUnits - 1) {
        value.truncate(bufferUnits - 1);
        // Never hand out half of a surrogate pair.
        if (!value.isEmpty() && value.back().isHighSurrogate()) {
            value.chop(1);
        }
    }
    return value;
}

long long IniFile::readInt(const QString& section, const QString& key, long long fallback) const {
    const auto value = load().value(section, key);
    if (!value) {
        return fallback;
    }
    const QString v = value->trimmed();
    qsizetype i = 0;
    const bool negative = i < v.size() && v[i] == u'-';
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) {
        ++i;
    }
    long long n = 0;
    constexpr long long kCap = 1LL << 40;  // far past any count; never overflows
    for (; i < v.size() && v[i].isDigit() && v[i].unicode() < 128; ++i) {
        n = std::min(kCap, n * 10 + (v[i].unicode() - u'0'));
    }
    return negative ? -n : n;
}

FileReplaceResult IniFile::writeString(const QString& section, const QString& key,
                                       const QString& value) {
    IniDocument doc = load();
    doc.setValue(section, key, value);
    return store(doc);
}

FileReplaceResult IniFile::removeSection(const QString& section) {
    IniDocument doc = load();
    if (!doc.hasSection(section)) {
        return {};
    }
    doc.removeSection(section);
    return store(doc);
}

}  // namespace kova
