// The RTF writer and reader: what one writes the other reads back with the same
// text and formatting, documents from other writers read with their code pages,
// and hostile input (deep nesting, huge tables, \bin data, cut documents)
// handled without a fault.
#include <gtest/gtest.h>

#include "chat/RtfReader.h"
#include "chat/RtfWriter.h"
#include "platform/CodePages.h"

namespace kova {
namespace {

RichText roundTrip(const RichText& in) {
    const auto out = RtfReader::read(writeRtf(in));
    EXPECT_TRUE(out.has_value());
    return out.value_or(RichText{});
}

RunFormat format(std::u16string face, int halfPoints) {
    RunFormat f;
    f.face = std::move(face);
    f.halfPoints = halfPoints;
    return f;
}

TEST(Rtf, FormattingSurvivesRoundTrip) {
    RunFormat plain = format(u"Arial", 20);
    RunFormat bold = plain;
    bold.bold = true;
    RunFormat italic = format(u"Times New Roman", 28);
    italic.italic = true;
    italic.colour = Rgb{200, 10, 30};
    RunFormat underStrike = format(u"Courier New", 16);
    underStrike.underline = true;
    underStrike.strike = true;
    underStrike.colour = Rgb{0, 128, 0};
    const RichText in = {{u"plain ", plain},
                         {u"bold", bold},
                         {u" italic red\n", italic},
                         {u"under\tstruck", underStrike},
                         {u"\x2028{braces} \\back", plain}};
    EXPECT_EQ(roundTrip(in), in);
}

TEST(Rtf, NonLatinTextTravelsAsUnicodeEscapes) {
    const std::u16string text = u"Привет, 世界! café 😀 ünïcödé";
    const RichText in = {{text, format(u"Arial", 20)}};
    const std::u16string rtf = writeRtf(in);
    for (char16_t c : rtf) {
        ASSERT_LT(c, 0x80) << "the document itself is ASCII";
    }
    EXPECT_EQ(roundTrip(in), in);
}

TEST(Rtf, FaceNamesOutsideAsciiAreKept) {
    const RichText in = {{u"x", format(u"Мой шрифт", 24)}};
    EXPECT_EQ(roundTrip(in), in);
}

TEST(Rtf, OnlyDocumentsAreReadAsRtf) {
    EXPECT_FALSE(RtfReader::read(u"Disconnected..."));
    EXPECT_FALSE(RtfReader::read(u" {\\rtf1 x}"));
    EXPECT_FALSE(RtfReader::read(u""));
    ASSERT_TRUE(RtfReader::read(u"{\\rtf1 x}"));
}

TEST(Rtf, ReadsWhatOtherWritersProduce) {
    // Word-processor style: default font, charset code page, \'hh bytes,
    // a trailing paragraph, skipped destinations and a field result.
    const std::u16string doc =
        u"{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049{\\fonttbl{\\f0\\fswiss\\fcharset204 "
        u"Arial;}{\\f1\\fnil\\fcharset0{\\*\\panose 020b0604020202020204}Tahoma;}}"
        u"{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Riched20 10.0;}"
        u"{\\info{\\author Somebody}}\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs20 "
        u"\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\b0\\f1  \\u1044?\\'e0 "
        u"{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\par\r\n}";
    RtfReadOptions options;
    options.decodeCodePage = decodeCodePage;
    const auto text = RtfReader::read(doc, options);
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text), u"Привет Дà link");
    ASSERT_GE(text->size(), 2u);
    EXPECT_EQ(text->front().format.face, u"Arial");
    EXPECT_TRUE(text->front().format.bold);
    EXPECT_EQ(text->front().format.colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(text->front().format.halfPoints, 20);
    EXPECT_EQ((*text)[1].format.face, u"Tahoma");
    EXPECT_FALSE((*text)[1].format.bold);
}

TEST(Rtf, Windows1252WithoutSystemConverters) {
    const auto text = RtfReader::read(u"{\\rtf1\\ansi caf\\'e9 \\'80\\'81}");
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text), u"café €\xFFFD");
    EXPECT_EQ(decodeCodePage(932, "\x82\xa0"), u"あ");
    EXPECT_EQ(decodeCodePage(99999, "\xe9"), u"é") << "unknown code pages read as 1252";
}

TEST(Rtf, UnicodeSkipCountsFallbackCharacters) {
    const auto text =
        RtfReader::read(u"{\\rtf1\\uc2\\u1071\\'3f\\'3fA{\\uc0\\u1071 B}\\uc1\\u-3913?C}");
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text),
              u"ЯAЯB\xF0B7"
              u"C");
}

TEST(Rtf, BinaryDataAndUnknownDestinationsAreSkipped) {
    const auto text = RtfReader::read(
        u"{\\rtf1 a{\\*\\unknown {nested} text}b{\\pict\\bin6 }{\\}\\x}c\\bin999999}");
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text), u"abc");
}

TEST(Rtf, CutAndUnbalancedDocumentsKeepTheirText) {
    const std::u16string whole = writeRtf({{u"a long enough message", format(u"Arial", 20)}});
    for (std::size_t n = 5; n <= whole.size(); ++n) {
        ASSERT_TRUE(RtfReader::read(whole.substr(0, n))) << n;
    }
    EXPECT_EQ(plainText(*RtfReader::read(u"{\\rtf1 one}} two")), u"one");
    EXPECT_EQ(plainText(*RtfReader::read(u"{\\rtf1 {{{{deep")), u"deep");
    EXPECT_EQ(plainText(*RtfReader::read(u"{\\rtf1 end\\")), u"end");
}

TEST(Rtf, DeepNestingAndHugeTablesAreBounded) {
    std::u16string deep = u"{\\rtf1 ";
    for (int i = 0; i < 2000; ++i) {
        deep += u"{\\b ";
    }
    deep += u"deep";
    for (int i = 0; i < 2000; ++i) {
        deep += u"}";
    }
    deep += u" out}";
    auto text = RtfReader::read(deep);
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text), u"deep out");
    EXPECT_TRUE(text->front().format.bold);

    std::u16string fonts = u"{\\rtf1{\\fonttbl";
    for (int i = 0; i < 30000; ++i) {
        fonts += u"{\\f" + std::u16string(u"1") + u" F;}";
    }
    fonts += u"{\\f7 Seven;}}\\f7 x\\f1 y}";
    text = RtfReader::read(fonts);
    ASSERT_TRUE(text);
    EXPECT_EQ(plainText(*text), u"xy");
    EXPECT_EQ(text->back().format.face, u"F");
}

}  // namespace
}  // namespace kova
