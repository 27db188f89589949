#include "config/ProfileStore.h"

#include <gtest/gtest.h>

#include "config/IniFile.h"
#include "support/TempDir.h"

namespace kova {
namespace {

using test::TempDir;

TEST(ProfileBinary, TwoLettersPerByteLowNibbleFirst) {
    EXPECT_EQ(encodeProfileBinary(QByteArray("\x3C\x00\xFF", 3)), "MDAAPP");
    EXPECT_EQ(encodeProfileBinary({}), "");
    EXPECT_EQ(decodeProfileBinary("MDAAPP"), QByteArray("\x3C\x00\xFF", 3));
    EXPECT_FALSE(decodeProfileBinary("MDA").has_value());
    EXPECT_FALSE(decodeProfileBinary("MZ").has_value());
    EXPECT_FALSE(decodeProfileBinary("md").has_value());
}

class ProfileStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    QString path = dir.path("kova.INI");
    ProfileStore store{path};
};

TEST_F(ProfileStoreTest, PasswordsOfAnyLengthRoundTrip) {
    for (const QString& pass : {QString("1"), QString("s3cr\u00e9t-\u4f60"), QString(300, 'p')}) {
        ASSERT_TRUE(store.save({"Ann", "ann@example.org", pass}));
        Profile p;
        EXPECT_TRUE(store.load(p));
        EXPECT_EQ(p, (Profile{"Ann", "ann@example.org", pass}));
    }
    store.save({"Ann", "a", "<"});
    EXPECT_EQ(IniFile(path).readString(ProfileStore::kSection, "Pass", {}, 64), "MDAA");
}

TEST_F(ProfileStoreTest, EmptyOrBrokenPassLeavesThePasswordAlone) {
    for (const char* pass : {"", "XYZ", "Q"}) {
        TempDir::write(path,
                       QByteArray("[KOVA Video Conference]\nName=A\nEMail=b\nPass=") + pass + "\n");
        Profile p{{}, {}, "kept"};
        EXPECT_TRUE(store.load(p));
        EXPECT_EQ(p.password, "kept") << pass;
    }
}

TEST_F(ProfileStoreTest, NameOrEmailMissingIsIncomplete) {
    Profile p;
    EXPECT_FALSE(store.load(p)) << "no file";
    TempDir::write(path, "[KOVA Video Conference]\nName=Ann\nEMail=\n");
    EXPECT_FALSE(store.load(p));
    EXPECT_EQ(p.name, "Ann");
    TempDir::write(path, "[KOVA Video Conference]\nEMail=ann@example.org\n");
    EXPECT_FALSE(store.load(p));
    TempDir::write(path, QByteArray(500, '\xFF'));
    EXPECT_FALSE(store.load(p)) << "garbage";
}

}  // namespace
}  // namespace kova
