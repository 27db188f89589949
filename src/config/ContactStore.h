#pragma once
// clset.cfg: the contact list as an INI file. [main] count, then one section per
// contact named by its index ("0", "1", ...) with the keys name, mail and addr.

#include <cstdint>
#include <functional>

#include <QString>

#include "config/IniFile.h"

namespace kova {

class CContactStore {
public:
    // The list never holds more; a hand-edited larger count reads as this.
    static constexpr std::uint32_t kMaxContacts = 30;
    // Values are read into 64-unit buffers: 63 characters come back at most.
    static constexpr int kValueBufferUnits = 64;
    // What a missing key reads as; reading stops at the first one.
    static inline const QString kMissing = QStringLiteral("?");

    // Hears of every write that failed, with the system's reason; the owner
    // decides how the user learns of it.
    using WriteFailed = std::function<void(const QString& path, const QString& reason)>;

    explicit CContactStore(QString path = {}) : file_(std::move(path)) {}
    void setWriteFailed(WriteFailed handler) { writeFailed_ = std::move(handler); }
    void setPath(QString path) { file_.setPath(std::move(path)); }
    const QString& path() const { return file_.path(); }

    std::uint32_t count() const;
    void setCount(std::uint32_t n);

    // Reads name, then mail, then addr. On the first missing key it stops and
    // returns false: that output holds "?" and the later ones are left untouched.
    bool readEntry(std::uint32_t i, QString& name, QString& mail, QString& addr) const;
    void writeEntry(std::uint32_t i, const QString& name, const QString& mail, const QString& addr);
    // Moves every later entry down by one and drops the last section.
    void deleteEntry(std::uint32_t i);
    // Appends after the last entry; the caller enforces kMaxContacts.
    void appendEntry(const QString& name, const QString& mail, const QString& addr);

private:
    void check(const FileReplaceResult& result) const;

    IniFile file_;
    WriteFailed writeFailed_;
};

}  // namespace kova
