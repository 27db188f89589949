#include "contacts/ContactListModel.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace kova {
namespace {

using LookUp = ContactListModel::LookUp;

QString addrOf(const ContactListModel& m, int i) {
    return m.at(i).entry.addrText();
}

TEST(ContactLookUp, KnownMailFromANewAddressUpdatesTheShownAddress) {
    ContactListModel m;
    m.insert("Ann", "ann@x", "192.0.2.1", 0);
    EXPECT_EQ(m.lookUpOrAdd("Ann", "ann@x", "198.51.100.9", 5), LookUp::Known);
    EXPECT_EQ(addrOf(m, 0), "198.51.100.9");
    EXPECT_EQ(m.at(0).entry.key, contactKey("198.51.100.9")) << "replies now match";
    EXPECT_EQ(m.size(), 1);
}

TEST(ContactLookUp, SameAddressAndNameWithANewMailIsTheSamePeer) {
    ContactListModel m;
    m.insert("Ann", "old@x", "192.0.2.1", 0);
    EXPECT_EQ(m.lookUpOrAdd("Ann", "new@x", "192.0.2.1", 5), LookUp::Known);
    EXPECT_EQ(m.at(0).entry.mailText(), "new@x");
}

TEST(ContactLookUp, AnAddressSharedByTwoUpdatesTheLaterOne) {
    ContactListModel m;
    m.insert("Ann", "ann@x", "192.0.2.1", 0);
    m.insert("Bob", "bob@x", "192.0.2.1", 0);
    m.insert("Cy", "cy@x", "192.0.2.3", 0);
    EXPECT_EQ(m.lookUpOrAdd("Dee", "dee@x", "192.0.2.1", 5), LookUp::Known);
    EXPECT_EQ(m.at(0).entry.nameText(), "Ann");
    EXPECT_EQ(m.at(1).entry.nameText(), "Dee");
    EXPECT_EQ(m.at(1).entry.mailText(), "dee@x");
    // Without a name the address match changes nothing.
    EXPECT_EQ(m.lookUpOrAdd("", "eve@x", "192.0.2.1", 5), LookUp::Known);
    EXPECT_EQ(m.at(1).entry.nameText(), "Dee");
}

TEST(ContactLookUp, UnknownPeerIsNewUnlessItHasNoMail) {
    ContactListModel m;
    m.insert("Ann", "ann@x", "192.0.2.1", 0);
    EXPECT_EQ(m.lookUpOrAdd("Zed", "", "203.0.113.5", 5), LookUp::Known);
    EXPECT_EQ(m.lookUpOrAdd("Zed", "zed@x", "203.0.113.5", 5), LookUp::New);
    EXPECT_EQ(m.size(), 1) << "the caller adds it";
}

TEST(ContactPresence, RepliesMarkTheFirstContactWithThatAddress) {
    ContactListModel m;
    m.insert("Host", "h", "peer.example.org", 0);
    m.insert("Ann", "a", "192.0.2.1", 0);
    m.insert("Ann again", "a2", "192.0.2.1", 0);
    EXPECT_EQ(m.presenceReply(true, contactKey("192.0.2.1"), 100), 1);
    EXPECT_TRUE(m.at(1).available);
    EXPECT_FALSE(m.at(2).available);
    EXPECT_EQ(m.at(1).entry.lastHeard, 100u);
    EXPECT_EQ(m.presenceReply(false, contactKey("192.0.2.1"), 200), 1) << "in a conference";
    EXPECT_FALSE(m.at(1).available);
    EXPECT_EQ(m.presenceReply(true, contactKey("203.0.113.1"), 300), -1);
    EXPECT_FALSE(m.at(0).available) << "a host name never matches";
}

TEST(ContactPresence, AHostNameIsKeyedByTheAddressItResolvedTo) {
    ContactListModel m;
    m.insert("Host", "h@x", "peer.example.org", 0);
    const ContactEntry& host = m.at(0).entry;
    EXPECT_EQ(m.pollStep(0, 0), "peer.example.org") << "the poll resolves it afresh";
    m.nameResolved("peer.example.org", 0xC6336402u, true);
    EXPECT_EQ(host.sendAddrText(), "198.51.100.2");
    EXPECT_EQ(m.presenceReply(true, contactKey("198.51.100.2"), 5), 0);
    EXPECT_EQ(m.lookUpOrAdd("Host", "h@x", "198.51.100.2", 6), LookUp::Known);
    EXPECT_EQ(addrOf(m, 0), "peer.example.org");
    m.nameResolved("peer.example.org", 0, false);
    EXPECT_EQ(host.sendAddrText(), "peer.example.org") << "a name that stopped resolving";
}

TEST(ContactPresence, SilenceOfMoreThanTwentySecondsMarksNotAvailable) {
    ContactListModel m;
    m.insert("Ann", "a", "192.0.2.1", 1000);
    m.presenceReply(true, contactKey("192.0.2.1"), 1000);
    EXPECT_EQ(m.pollStep(0, 21000), "192.0.2.1");
    EXPECT_TRUE(m.at(0).available) << "exactly 20000 ms is not yet too long";
    m.pollStep(0, 21001);
    EXPECT_FALSE(m.at(0).available);
    EXPECT_EQ(m.at(0).entry.lastHeard, 21001u) << "the clock restarts";
    // The tick counter wraps without marking everybody offline.
    m.presenceReply(true, contactKey("192.0.2.1"), 0xFFFFFF00u);
    m.pollStep(0, 0x100);
    EXPECT_TRUE(m.at(0).available);
    EXPECT_FALSE(m.pollStep(1, 0).has_value());
    EXPECT_FALSE(m.pollStep(-1, 0).has_value());
}

TEST(ContactPresence, TooltipShowsMailAddressStateLastSeenAndRoundTrip) {
    ContactListModel m;
    m.insert("Ann", "ann@example.org", "192.0.2.1", 0);
    const qint64 seen = QDateTime(QDate(2024, 5, 1), QTime(14, 3, 22)).toMSecsSinceEpoch();
    EXPECT_EQ(m.tooltip(0, seen), "ann@example.org\n192.0.2.1\nOffline\nLast seen: never");
    m.presenceReply(true, contactKey("192.0.2.1"), 1, seen, 7);
    EXPECT_EQ(m.tooltip(0, seen + 5000),
              "ann@example.org\n192.0.2.1\nOnline\nLast seen: 14:03:22\nRound trip: 7 ms");
    m.presenceReply(true, contactKey("192.0.2.1"), 2, seen, std::nullopt);
    EXPECT_EQ(m.at(0).roundTripMs, 7) << "an answer to nobody's query keeps the last one";
    m.pollStep(0, 30000);
    EXPECT_EQ(m.tooltip(0, seen + 125000),
              "ann@example.org\n192.0.2.1\nOffline\nLast seen: 14:03:22 (2 min ago)"
              "\nRound trip: 7 ms");
    EXPECT_TRUE(m.tooltip(0, seen + 86400000).contains("Last seen: 2024-05-01 14:03 (24 h ago)"));
    EXPECT_EQ(ContactListModel::agoText(3 * 86400000), "3 days ago");
}

}  // namespace
}  // namespace kova
