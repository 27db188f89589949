#include "config/ContactStore.h"

#include <algorithm>

namespace kova {

namespace {
const QString kMain = QStringLiteral("main");
const QString kCount = QStringLiteral("count");
}  // namespace

std::uint32_t CContactStore::count() const {
    const long long n = file_.readInt(kMain, kCount, 0);
    return static_cast<std::uint32_t>(std::clamp<long long>(n, 0, kMaxContacts));
}

void CContactStore::check(const FileReplaceResult& result) const {
    if (!result && writeFailed_) {
        writeFailed_(file_.path(), result.reason);
    }
}

void CContactStore::setCount(std::uint32_t n) {
    check(file_.writeString(kMain, kCount, QString::number(n)));
}

bool CContactStore::readEntry(std::uint32_t i, QString& name, QString& mail, QString& addr) const {
    const QString section = QString::number(i);
    for (auto [key, out] : {std::pair{"name", &name}, {"mail", &mail}, {"addr", &addr}}) {
        *out = file_.readString(section, QString::fromLatin1(key), kMissing, kValueBufferUnits);
        if (*out == kMissing) {
            return false;
        }
    }
    return true;
}

void CContactStore::writeEntry(std::uint32_t i, const QString& name, const QString& mail,
                               const QString& addr) {
    const QString section = QString::number(i);
    check(file_.writeString(section, QStringLiteral("name"), name));
    check(file_.writeString(section, QStringLiteral("mail"), mail));
    check(file_.writeString(section, QStringLiteral("addr"), addr));
}

void CContactStore::deleteEntry(std::uint32_t i) {
    const std::uint32_t n = count();
    // An index past the list would otherwise drop the last contact.
    if (i >= n) {
        return;
    }
    for (std::uint32_t j = i + 1; j < n; ++j) {
        QString name, mail, addr;
        readEntry(j, name, mail, addr);
        writeEntry(j - 1, name, mail, addr);
    }
    check(file_.removeSection(QString::number(n - 1)));
    setCount(n - 1);
}

void CContactStore::appendEntry(const QString& name, const QString& mail, const QString& addr) {
    const std::uint32_t i = count();
    writeEntry(i, name, mail, addr);
    setCount(i + 1);
}

}  // namespace kova
