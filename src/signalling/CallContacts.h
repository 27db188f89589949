#pragma once
// What the conference controller needs of the user's contacts: the selected one
// to call, and a place for the peer of a conference that started.

#include <QString>
#include <optional>

namespace kova {

struct CallContact {
    QString name;
    QString addr;      // as stored and shown
    QString sendAddr;  // where the call goes
};

class ICallContacts {
public:
    virtual ~ICallContacts() = default;
    virtual std::optional<CallContact> selectedContact() const = 0;
    // The peer of a running conference, with the e-mail it sent: added to the
    // contacts when it is new (never the loopback address).
    virtual void conferencePeer(const QString& name, const QString& mail, const QString& addr) = 0;
};

}  // namespace kova
