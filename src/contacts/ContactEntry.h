#pragma once
// The record behind each contact of the list: the three texts in fixed fields,
// the address as a 32-bit key for matching presence replies and for sending,
// and the time of the last reply. A contact stored by host name gets its key
// from the name resolver; until then it has none.

#include <cstdint>

#include <QString>

#include "common/FixedUtf16.h"

namespace kova {

// The value of a text that is no dotted IPv4 address (a host name, say).
constexpr std::uint32_t kInaddrNone = 0xFFFFFFFF;

// The address text read the way inet_addr reads it ("a.b.c.d", also the short
// forms "a.b.c", "a.b", "a", each part decimal, 0x hex or 0 octal), as the four
// address bytes in network order packed first-byte-lowest: "1.2.3.4" is
// 0x04030201. kInaddrNone for anything else.
std::uint32_t contactKey(const QString& address);
// The key of an address in host byte order, and the dotted text of a key.
std::uint32_t contactKeyOf(std::uint32_t ipv4);
QString keyText(std::uint32_t key);

struct ContactEntry {
    FixedUtf16<32> name;
    FixedUtf16<64> mail;
    FixedUtf16<70> addr;
    std::uint32_t key = kInaddrNone;
    std::uint32_t lastHeard = 0;  // millisecond tick

    // Texts longer than their field are cut to fit.
    static ContactEntry make(const QString& name, const QString& mail, const QString& addr,
                             std::uint32_t now);

    QString nameText() const { return QString::fromStdU16String(name.text()); }
    QString mailText() const { return QString::fromStdU16String(mail.text()); }
    QString addrText() const { return QString::fromStdU16String(addr.text()); }
    // The stored address is a host name: its key comes from the resolver.
    bool byName() const { return contactKey(addrText()) == kInaddrNone; }
    // Where calls, chats and queries go: the key's dotted text; without a key
    // the stored text, which a send refuses as an invalid host name.
    QString sendAddrText() const { return key == kInaddrNone ? addrText() : keyText(key); }
};

}  // namespace kova
