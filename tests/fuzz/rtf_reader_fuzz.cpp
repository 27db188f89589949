// The RTF reader on any UTF-16 payload a peer could send: no fault, no hang,
// and what it reads the writer writes back to the same text. The first byte
// chooses the form: raw UTF-16 units, the same behind an RTF header, or one
// RTF token per byte so that random input reaches deep into the parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "chat/ChatPayload.h"
#include "chat/RtfReader.h"
#include "chat/RtfWriter.h"

namespace {

// The writer leaves out control characters and the reader drops the last
// paragraph mark; compare what both keep.
std::u16string comparable(std::u16string s) {
    std::u16string out;
    for (char16_t c : s) {
        if ((c >= 0x20 && c != 0x7F) || c == u'\n' || c == u'\t') {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == u'\n') {
        out.pop_back();
    }
    return out;
}

constexpr std::u16string_view kTokens[] = {
    u"{",
    u"}",
    u"\\b",
    u"\\b0",
    u"\\i",
    u"\\ul",
    u"\\ulnone",
    u"\\strike",
    u"\\fs40",
    u"\\fs-2",
    u"\\f1",
    u"\\f99999999999",
    u"\\cf1",
    u"\\cf-5",
    u"\\plain",
    u"\\par",
    u"\\line",
    u"\\tab",
    u"\\u1071?",
    u"\\u-10179",
    u"\\u-8704 ",
    u"\\uc0",
    u"\\uc5",
    u"\\'e9",
    u"\\'c",
    u"\\'",
    u"\\bin3 ",
    u"\\bin-1",
    u"\\bin99999",
    u"\\*",
    u"\\*\\pict",
    u"\\fonttbl",
    u"\\colortbl",
    u"\\red255",
    u"\\green",
    u"\\blue9",
    u";",
    u"\\fcharset204",
    u"\\fcharset128",
    u"\\ansicpg932",
    u"\\deff1",
    u"Arial",
    u"text ",
    u"\\\\",
    u"\\{",
    u"\\}",
    u"\\~",
    u"\\",
    u"\\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop",
    u"\r\n",
    u" ",
    u"\\info",
    u"\\fldinst",
    u"\\emdash",
    u"\\sect",
    u"\\rtf1",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto bytes = std::as_bytes(std::span(data + 1, size - 1));
    std::u16string text;
    switch (data[0] % 3) {
        case 0:
            text = kova::chat::decodePayload(bytes);
            break;
        case 1:
            text = u"{\\rtf1 " + kova::chat::decodePayload(bytes);
            break;
        default:
            text = u"{\\rtf1 ";
            for (std::size_t i = 1; i < size; ++i) {
                text += kTokens[data[i] % std::size(kTokens)];
            }
            break;
    }
    const auto read = kova::RtfReader::read(text);
    if (read.has_value() != kova::chat::isRtfDocument(text)) {
        std::abort();
    }
    if (read) {
        const auto again = kova::RtfReader::read(kova::writeRtf(*read));
        if (!again || comparable(kova::plainText(*again)) != comparable(kova::plainText(*read))) {
            std::abort();
        }
    }
    return 0;
}
