#include "config/ContactStore.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "unit/config/FileSizeLimit.h"

namespace kova {
namespace {

using test::TempDir;

struct Entry {
    QString name, mail, addr;
    bool ok = false;
    bool operator==(const Entry&) const = default;
};

Entry read(const CContactStore& store, std::uint32_t i) {
    Entry e;
    e.ok = store.readEntry(i, e.name, e.mail, e.addr);
    return e;
}

class ContactStoreTest : public ::testing::Test {
protected:
    void addThree() {
        store.appendEntry("Ann", "ann@example.org", "192.0.2.1");
        store.appendEntry("Bob", "bob@example.org", "bob.example.org");
        store.appendEntry("Cy", "cy-id", "192.0.2.3");
    }
    TempDir dir;
    CContactStore store{dir.path("clset.cfg")};
};

TEST_F(ContactStoreTest, MissingFileHasNoContactsAndAppendCreatesIt) {
    EXPECT_EQ(store.count(), 0u);
    addThree();
    EXPECT_EQ(store.count(), 3u);
    EXPECT_EQ(read(store, 1), (Entry{"Bob", "bob@example.org", "bob.example.org", true}));
    const QByteArray text = TempDir::read(store.path());
    EXPECT_TRUE(text.contains("[main]\r\ncount=3\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("[1]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=bob.example.org"));
}

TEST_F(ContactStoreTest, DeletingMovesLaterContactsDown) {
    addThree();
    store.deleteEntry(0);
    EXPECT_EQ(store.count(), 2u);
    EXPECT_EQ(read(store, 0).name, "Bob");
    EXPECT_EQ(read(store, 1).name, "Cy");
    EXPECT_FALSE(TempDir::read(store.path()).contains("[2]"));

    store.appendEntry("Dee", "dee", "192.0.2.4");
    store.deleteEntry(1);  // the middle one
    EXPECT_EQ(store.count(), 2u);
    EXPECT_EQ(read(store, 0).name, "Bob");
    EXPECT_EQ(read(store, 1), (Entry{"Dee", "dee", "192.0.2.4", true}));
}

TEST_F(ContactStoreTest, DeletingPastTheEndChangesNothing) {
    addThree();
    store.deleteEntry(3);
    EXPECT_EQ(store.count(), 3u);
    EXPECT_EQ(read(store, 2).name, "Cy");
}

TEST_F(ContactStoreTest, MissingKeyStopsTheReadWithAQuestionMark) {
    TempDir::write(store.path(), "[main]\ncount=2\n[0]\nname=Ann\naddr=192.0.2.1\n[1]\nmail=x\n");
    QString name = "n", mail = "m", addr = "a";
    EXPECT_FALSE(store.readEntry(0, name, mail, addr));
    EXPECT_EQ(name, "Ann");
    EXPECT_EQ(mail, "?");
    EXPECT_EQ(addr, "a") << "later outputs are left as they were";
    name = "n", mail = "m";
    EXPECT_FALSE(store.readEntry(1, name, mail, addr));
    EXPECT_EQ(name, "?");
    EXPECT_EQ(mail, "m");
}

TEST_F(ContactStoreTest, LongValuesReadBackAs63Characters) {
    store.appendEntry(QString(70, 'n'), QString(70, 'm'), QString(70, 'a'));
    const Entry e = read(store, 0);
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.name, QString(63, 'n'));
    EXPECT_EQ(e.addr, QString(63, 'a'));
}

TEST_F(ContactStoreTest, HandEditedCountsAreKeptWithinTheLimit) {
    for (auto [text, want] :
         {std::pair{"31", 30u}, {"4000000000", 30u}, {"-1", 0u}, {"many", 0u}, {"2", 2u}}) {
        TempDir::write(store.path(), QByteArray("[main]\ncount=") + text + "\n");
        EXPECT_EQ(store.count(), want) << text;
    }
}

TEST_F(ContactStoreTest, FullDiskKeepsTheListAndReportsEachFailedWrite) {
    addThree();
    const QByteArray before = TempDir::read(store.path());
    QStringList failures;
    store.setWriteFailed([&](const QString& path, const QString&) { failures << path; });
    {
        test::FileSizeLimit full(16);
        store.appendEntry("Di", "di-id", "192.0.2.4");
        store.deleteEntry(0);
    }
    EXPECT_EQ(TempDir::read(store.path()), before);
    EXPECT_EQ(failures.value(0), store.path());
}

}  // namespace
}  // namespace kova
