#pragma once
// The contacts as the list shows them, with their availability, and the rules
// that work on them: looking up a calling peer, presence replies and the poll's
// offline marking. Free of widgets; the list control draws it.

#include <QtGlobal>
#include <optional>
#include <vector>

#include "contacts/ContactEntry.h"

namespace kova {

class ContactListModel {
public:
    // A contact not heard from for longer than this is shown as not available.
    static constexpr std::uint32_t kOfflineAfterMs = 20000;

    struct Item {
        ContactEntry entry;
        bool available = false;
        // Wall-clock milliseconds of the last presence answer; 0: never.
        qint64 lastSeenMs = 0;
        // The last answered query's round trip.
        std::optional<int> roundTripMs;
    };

    int size() const { return static_cast<int>(items_.size()); }
    const Item& at(int i) const { return items_.at(i); }

    void insert(const QString& name, const QString& mail, const QString& addr, std::uint32_t now);
    // Keeps the availability; the entry is refilled and its clock restarted. An
    // unchanged address keeps the key its name resolved to.
    void update(int i, const QString& name, const QString& mail, const QString& addr,
                std::uint32_t now);
    void remove(int i);

    enum class LookUp {
        Known,  // found (and maybe updated in the list only) or nothing to add
        New,    // not found: the caller adds it, within the contact limit
    };
    // A peer that called or chatted: finds it by mail, or by address and name,
    // or by address alone, updating what it shows; never touches the stored list.
    // A contact whose key is the peer's address has that address, and keeps
    // its own text (a host name stays a name).
    LookUp lookUpOrAdd(const QString& name, const QString& mail, const QString& addr,
                       std::uint32_t now);

    // The first contact whose key matches becomes available (idle) or not, seen
    // at seenMs (wall clock; 0 leaves it) after roundTripMs when the answer
    // was to our query; returns its index, or -1 when no contact has that address.
    int presenceReply(bool idle, std::uint32_t key, std::uint32_t now, qint64 seenMs = 0,
                      std::optional<int> roundTripMs = std::nullopt);
    // A last-seen time kept from an earlier run.
    void setLastSeen(int i, qint64 seenMs);

    // The resolver's answer for a host name: every contact stored under that
    // name takes the address's key (ipv4 in host byte order), or loses its key
    // when the name did not resolve (ok false).
    void nameResolved(const QString& name, std::uint32_t ipv4, bool ok);

    // For the presence poll: contact i's address (its host name, else its dotted
    // key), after marking it not available when it has been silent for too
    // long. nullopt when there is no contact i.
    std::optional<QString> pollStep(int i, std::uint32_t now);

    // "mail\naddr\nOnline" or "...\nOffline", then "Last seen: <time or never>",
    // how long ago for a contact that is offline, and "Round trip: <n> ms"
    // once one was measured; nowMs is the wall clock.
    QString tooltip(int i, qint64 nowMs) const;
    // "14:03:22" today, else with the date; "5 min ago".
    static QString seenText(qint64 seenMs, qint64 nowMs);
    static QString agoText(qint64 ms);

private:
    std::vector<Item> items_;
};

}  // namespace kova
