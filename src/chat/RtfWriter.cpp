#include "chat/RtfWriter.h"

#include <algorithm>
#include <string_view>

namespace kova {

namespace {

// Sizes readers fall back to when a run names none (12 pt).
constexpr int kDefaultHalfPoints = 24;

void appendAscii(std::u16string& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

void appendNumber(std::u16string& out, long long value) {
    appendAscii(out, std::to_string(value));
}

constexpr char kHex[] = "0123456789abcdef";

// Text characters: RTF's own specials escaped, the rest of ASCII as it is,
// everything else as a signed 16-bit \u escape. Readers without \u support
// (plain-text converters among them) show the fallback after it: the
// Windows-1252 byte where there is one, else '?'.
void appendEscaped(std::u16string& out, std::u16string_view text) {
    for (const char16_t c : text) {
        switch (c) {
            case u'\\':
            case u'{':
            case u'}':
                out.push_back(u'\\');
                out.push_back(c);
                break;
            case u'\n':
                appendAscii(out, "\\par\r\n");
                break;
            case u'\r':
                break;
            case u'\t':
                appendAscii(out, "\\tab ");
                break;
            case kLineBreak:
                appendAscii(out, "\\line ");
                break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out.push_back(c);
                } else if (c >= 0x80) {
                    appendAscii(out, "\\u");
                    appendNumber(out, static_cast<std::int16_t>(c));
                    if (c >= 0xA0 && c <= 0xFF) {
                        // Latin-1 letters are the same byte in Windows-1252.
                        appendAscii(out, "\\'");
                        out.push_back(static_cast<char16_t>(kHex[c >> 4]));
                        out.push_back(static_cast<char16_t>(kHex[c & 0xF]));
                    } else {
                        out.push_back(u'?');
                    }
                }
                // Other control characters carry nothing a reader would show.
                break;
        }
    }
}

template <typename T>
int indexOf(std::vector<T>& table, const T& value) {
    auto it = std::find(table.begin(), table.end(), value);
    if (it == table.end()) {
        table.push_back(value);
        return static_cast<int>(table.size()) - 1;
    }
    return static_cast<int>(it - table.begin());
}

}  // namespace

std::u16string writeRtf(const RichText& text) {
    std::vector<std::u16string> fonts;
    std::vector<Rgb> colours;
    for (const auto& run : text) {
        indexOf(fonts, run.format.face.empty() ? std::u16string(u"Arial") : run.format.face);
        if (run.format.colour) {
            indexOf(colours, *run.format.colour);
        }
    }
    if (fonts.empty()) {
        fonts.push_back(u"Arial");
    }

    std::u16string out;
    appendAscii(out, "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl");
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        appendAscii(out, "{\\f");
        appendNumber(out, static_cast<long long>(i));
        appendAscii(out, "\\fnil\\fcharset0 ");
        appendEscaped(out, fonts[i]);
        appendAscii(out, ";}");
    }
    // Entry 0 of the colour table is the reader's own text colour.
    appendAscii(out, "}{\\colortbl ;");
    for (const Rgb& c : colours) {
        appendAscii(out, "\\red");
        appendNumber(out, c.red);
        appendAscii(out, "\\green");
        appendNumber(out, c.green);
        appendAscii(out, "\\blue");
        appendNumber(out, c.blue);
        out.push_back(u';');
    }
    appendAscii(out, "}\r\n\\pard\\plain");

    RunFormat current;
    current.face = fonts.front();
    current.halfPoints = kDefaultHalfPoints;
    appendAscii(out, "\\f0\\fs24 ");
    for (const auto& run : text) {
        const RunFormat& f = run.format;
        std::u16string words;
        auto flag = [&](bool now, bool before, std::string_view on, std::string_view off) {
            if (now != before) {
                appendAscii(words, now ? on : off);
            }
        };
        flag(f.bold, current.bold, "\\b", "\\b0");
        flag(f.italic, current.italic, "\\i", "\\i0");
        flag(f.underline, current.underline, "\\ul", "\\ulnone");
        flag(f.strike, current.strike, "\\strike", "\\strike0");
        const std::u16string face = f.face.empty() ? fonts.front() : f.face;
        if (face != current.face) {
            appendAscii(words, "\\f");
            appendNumber(words, indexOf(fonts, face));
        }
        const int size = f.halfPoints > 0 ? f.halfPoints : kDefaultHalfPoints;
        if (size != current.halfPoints) {
            appendAscii(words, "\\fs");
            appendNumber(words, size);
        }
        if (f.colour != current.colour) {
            appendAscii(words, "\\cf");
            appendNumber(words, f.colour ? indexOf(colours, *f.colour) + 1 : 0);
        }
        if (!words.empty()) {
            out += words;
            out.push_back(u' ');
        }
        current = f;
        current.face = face;
        current.halfPoints = size;
        appendEscaped(out, run.text);
    }
    appendAscii(out, "\r\n}");
    return out;
}

}  // namespace kova
