#include "config/IniFile.h"
#include "config/OwnSettings.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kova {
namespace {

using test::TempDir;

TEST(IniDocument, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    const auto doc = IniDocument::parse(
        "; comment\r\n[Main]\r\nCount = 3 \r\nname=\"  spaced  \"\r\n[Other]\nx='y'\n");
    EXPECT_EQ(doc.value("main", "count"), "3");
    EXPECT_EQ(doc.value("MAIN", "NAME"), "  spaced  ");
    EXPECT_EQ(doc.value("other", "x"), "y");
    EXPECT_FALSE(doc.value("main", "x").has_value());
    EXPECT_FALSE(doc.value("nothing", "count").has_value());
}

TEST(IniDocument, ReadsUtf16AndUtf8WithByteOrderMarks) {
    const QString text = QStringLiteral("[s]\r\nk=Gr\u00fc\u00dfe \u4f60\u597d\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(IniDocument::parse(utf16).value("s", "k"),
              QStringLiteral("Gr\u00fc\u00dfe \u4f60\u597d"));
    EXPECT_EQ(IniDocument::parse("\xEF\xBB\xBF" + text.toUtf8()).value("s", "k"),
              QStringLiteral("Gr\u00fc\u00dfe \u4f60\u597d"));
}

TEST(IniDocument, WritesKeepOtherLinesAndAddKeysInsideTheirSection) {
    auto doc = IniDocument::parse("; keep me\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    doc.setValue("A", "z", "3");
    doc.setValue("a", "X", "10");
    doc.setValue("c", "w", "4");
    EXPECT_EQ(doc.serialize(),
              QByteArray("; keep me\r\n[a]\r\nx=10\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nw=4\r\n"));
}

TEST(IniDocument, RemovesASectionWithItsKeys) {
    auto doc = IniDocument::parse("[0]\r\nname=a\r\n[1]\r\nname=b\r\n[2]\r\nname=c\r\n");
    doc.removeSection("1");
    EXPECT_EQ(doc.serialize(), QByteArray("[0]\r\nname=a\r\n[2]\r\nname=c\r\n"));
    EXPECT_FALSE(doc.hasSection("1"));
}

TEST(IniDocument, LineBreaksInAValueCannotCreateKeysOrSections) {
    auto doc = IniDocument::parse({});
    doc.setValue("0", "name", "Eve\r\n[main]\r\ncount=30");
    const auto again = IniDocument::parse(doc.serialize());
    EXPECT_FALSE(again.hasSection("main"));
    EXPECT_EQ(again.value("0", "name"), "Eve  [main]  count=30");
}

TEST(IniFile, ReadsCutToTheBufferAndNumbersFromTheirLeadingDigits) {
    TempDir dir;
    IniFile ini(dir.path("f.ini"));
    EXPECT_EQ(ini.readString("s", "k", "?", 64), "?");
    EXPECT_EQ(ini.readInt("s", "n", 7), 7);
    ASSERT_TRUE(ini.writeString("s", "k", QString(70, 'v')));
    EXPECT_EQ(ini.readString("s", "k", "?", 64), QString(63, 'v'));
    for (auto [text, want] : {std::pair{"12abc", 12LL},
                              {"abc", 0LL},
                              {"-4", -4LL},
                              {" 99 ", 99LL},
                              {"99999999999999999999999", 1LL << 40}}) {
        ini.writeString("s", "n", text);
        EXPECT_EQ(ini.readInt("s", "n", 7), want) << text;
    }
}

TEST(IniFile, SeesEditsMadeOutsideTheProgram) {
    TempDir dir;
    IniFile ini(dir.path("f.ini"));
    ini.writeString("s", "k", "one");
    TempDir::write(ini.path(), "[s]\nk=two\n");
    EXPECT_EQ(ini.readString("s", "k", {}, 64), "two");
}

TEST(OwnSettings, SwitchesFallBackWhenMissingAndKeepKeysTheyDoNotKnow) {
    TempDir dir;
    OwnSettings own(dir.path("kova.ini"));
    EXPECT_TRUE(own.get(switches::kPortMapping));
    TempDir::write(own.file().path(), "; mine\n[Network]\nFuture=x\nPortMapping=0\n");
    EXPECT_FALSE(own.get(switches::kPortMapping));
    ASSERT_TRUE(own.set(switches::kEchoCancellation, false));
    ASSERT_TRUE(own.set(switches::kPortMapping, true));
    EXPECT_TRUE(own.get(switches::kPortMapping));
    EXPECT_FALSE(own.get(switches::kEchoCancellation));
    const QByteArray text = TempDir::read(own.file().path());
    EXPECT_TRUE(text.contains("Future=x")) << text.toStdString();
    EXPECT_TRUE(text.contains("; mine")) << text.toStdString();
}

}  // namespace
}  // namespace kova
