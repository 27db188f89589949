#pragma once
// The user's profile: name and e-mail (or other unique ID) sent to peers with
// every call, and a password kept but never used. Stored in an INI file under
// "KOVA Video Conference"; the password as a binary value.

#include <optional>

#include <QByteArray>
#include <QString>

#include "platform/FileReplace.h"

namespace kova {

struct Profile {
    QString name;
    QString email;
    QString password;

    // Peers need both to recognise the caller; the password plays no part.
    bool isComplete() const { return !name.isEmpty() && !email.isEmpty(); }
    bool operator==(const Profile&) const = default;
};

// Binary values as text: two letters a byte, low nibble first, 'A' + nibble
// ("MD" for 0x3C). nullopt for text that is not such an encoding.
QString encodeProfileBinary(const QByteArray& bytes);
std::optional<QByteArray> decodeProfileBinary(const QString& text);

class ProfileStore {
public:
    explicit ProfileStore(QString path) : path_(std::move(path)) {}

    // Reads "Name" and "EMail"; the password only changes when "Pass" holds a
    // non-empty value. True when the profile is complete.
    bool load(Profile& profile) const;
    // Stops at the first failed write; the reason comes back.
    FileReplaceResult save(const Profile& profile);

    static inline const QString kSection = QStringLiteral("KOVA Video Conference");

private:
    QString path_;
};

}  // namespace kova
