#include "config/ProfileStore.h"

#include "config/IniFile.h"

namespace kova {

QString encodeProfileBinary(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(u'A' + (b & 0x0F));
        text += QChar(u'A' + (b >> 4));
    }
    return text;
}

std::optional<QByteArray> decodeProfileBinary(const QString& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int low = text[i].unicode() - u'A';
        const int high = text[i + 1].unicode() - u'A';
        if (low < 0 || low > 15 || high < 0 || high > 15) {
            return std::nullopt;
        }
        bytes += static_cast<char>(low | (high << 4));
    }
    return bytes;
}

bool ProfileStore::load(Profile& profile) const {
    const IniFile ini(path_);
    profile.name = ini.readString(kSection, QStringLiteral("Name"), {}, IniFile::kUnlimited);
    profile.email = ini.readString(kSection, QStringLiteral("EMail"), {}, IniFile::kUnlimited);
    const QString pass = ini.readString(kSection, QStringLiteral("Pass"), {}, IniFile::kUnlimited);
    if (const auto bytes = decodeProfileBinary(pass); bytes && !bytes->isEmpty()) {
        // UTF-16LE code units; an odd last byte is no character.
        QString password;
        for (qsizetype i = 0; i + 1 < bytes->size(); i += 2) {
            password +=
                QChar(static_cast<char16_t>(static_cast<unsigned char>((*bytes)[i]) |
                                            static_cast<unsigned char>((*bytes)[i + 1]) << 8));
        }
        profile.password = password;
    }
    return profile.isComplete();
}

FileReplaceResult ProfileStore::save(const Profile& profile) {
    IniFile ini(path_);
    QByteArray pass;
    for (QChar c : profile.password) {
        pass += static_cast<char>(c.unicode() & 0xFF);
        pass += static_cast<char>(c.unicode() >> 8);
    }
    FileReplaceResult result = ini.writeString(kSection, QStringLiteral("Name"), profile.name);
    if (result) {
        result = ini.writeString(kSection, QStringLiteral("EMail"), profile.email);
    }
    if (result) {
        result = ini.writeString(kSection, QStringLiteral("Pass"), encodeProfileBinary(pass));
    }
    return result;
}

}  // namespace kova
