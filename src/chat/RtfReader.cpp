#include "chat/RtfReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "chat/ChatPayload.h"

namespace kova {

namespace {

enum class Destination { Text, FontTable, ColourTable, Skip };

struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int font = -1;  // -1: the document's default font
    int halfPoints = 24;
    int colour = 0;
    int unicodeSkip = 1;
};

struct FontEntry {
    std::u16string face;
    int codePage = 0;
};

// Destinations whose text is not part of the message. Unknown ones marked with
// \* are skipped as well.
constexpr std::array<std::u16string_view, 37> kSkipped = {
    u"info",      u"stylesheet",
    u"pict",      u"object",
    u"header",    u"headerl",
    u"headerr",   u"headerf",
    u"footer",    u"footerl",
    u"footerr",   u"footerf",
    u"footnote",  u"annotation",
    u"fldinst",   u"themedata",
    u"listtable", u"listoverridetable",
    u"rsidtbl",   u"generator",
    u"filetbl",   u"revtbl",
    u"xmlnstbl",  u"latentstyles",
    u"datastore", u"colorschememapping",
    u"title",     u"author",
    u"operator",  u"subject",
    u"keywords",  u"comment",
    u"doccomm",   u"company",
    u"pgdsctbl",  u"mmathPr",
    u"bkmkstart",
};

bool isSkippedDestination(std::u16string_view word) {
    return std::find(kSkipped.begin(), kSkipped.end(), word) != kSkipped.end();
}

bool isLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int hexValue(char16_t c) {
    if (isDigit(c)) {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// Code units 0x80..0x9F of Windows-1252; 0 where the code page has no character.
constexpr std::array<char16_t, 32> k1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

class Parser {
public:
    Parser(std::u16string_view text, const RtfReadOptions& options) : in_(text), options_(options) {
        stack_.reserve(RtfReader::kMaxDepth);
    }

    RichText run() {
        while (pos_ < in_.size()) {
            const char16_t c = in_[pos_];
            if (c == u'{') {
                ++pos_;
                flushBytes();
                skipAfterUnicode_ = 0;
                openGroup();
            } else if (c == u'}') {
                ++pos_;
                flushBytes();
                skipAfterUnicode_ = 0;
                closeGroup();
                if (stack_.empty()) {
                    break;  // the document's own group has ended
                }
            } else if (c == u'\\') {
                ++pos_;
                controlSequence();
            } else {
                ++pos_;
                if (c == u'\r' || c == u'\n') {
                    continue;
                }
                flushBytes();
                if (consumeSkip()) {
                    continue;
                }
                character(c);
            }
        }
        flushBytes();
        return std::move(out_);
    }

private:
    GroupState& state() { return stack_.empty() ? base_ : stack_.back(); }

    void openGroup() {
        if (stack_.size() < RtfReader::kMaxDepth) {
            stack_.push_back(state());
        } else {
            ++overflow_;
        }
    }

    void closeGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.empty()) {
            return;
        }
        const Destination was = stack_.back().destination;
        stack_.pop_back();
        if (was == Destination::FontTable && state().destination != Destination::FontTable) {
            endFontEntry();
        }
    }

    // After \uN the next N characters are the fallback for readers without it.
    bool consumeSkip() {
        if (skipAfterUnicode_ > 0) {
            --skipAfterUnicode_;
            return true;
        }
        return false;
    }

    void controlSequence() {
        if (pos_ >= in_.size()) {
            return;
        }
        const char16_t c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]) && pos_ - start < 32) {
            ++pos_;
        }
        const std::u16string_view word = in_.substr(start, pos_ - start);
        while (pos_ < in_.size() && isLetter(in_[pos_])) {
            ++pos_;  // an over-long word: the rest is not part of any we know
        }
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == u'-' && pos_ + 1 < in_.size() &&
            isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (param < 100000000) {
                param = param * 10 + (in_[pos_] - u'0');
            }
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == u' ') {
            ++pos_;
        }
        if (negative) {
            param = -param;
        }
        if (word == u"bin") {
            // Raw data follows; it may hold braces and backslashes.
            flushBytes();
            const auto n = static_cast<std::size_t>(std::max(0LL, param));
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (word != u"u") {
            flushBytes();
        }
        if (consumeSkip()) {
            return;
        }
        controlWord(word, hasParam, static_cast<int>(param));
    }

    void controlSymbol(char16_t c) {
        if (c == u'\'') {
            if (pos_ + 1 < in_.size() && hexValue(in_[pos_]) >= 0 && hexValue(in_[pos_ + 1]) >= 0) {
                const int byte = hexValue(in_[pos_]) * 16 + hexValue(in_[pos_ + 1]);
                pos_ += 2;
                if (consumeSkip()) {
                    return;
                }
                byte_(static_cast<char>(byte));
            }
            return;
        }
        flushBytes();
        if (c == u'*') {
            pendingStar_ = true;
            return;
        }
        if (consumeSkip()) {
            return;
        }
        switch (c) {
            case u'\\':
            case u'{':
            case u'}':
                character(c);
                break;
            case u'~':
                character(u'\x00A0');
                break;
            case u'_':
                character(u'\x2011');
                break;
            case u'\r':
            case u'\n':
                character(u'\n');
                break;
            case u'\t':
                character(u'\t');
                break;
            default:
                break;  // \- optional hyphen, \| \: index marks and the like
        }
    }

    void controlWord(std::u16string_view word, bool hasParam, int param) {
        GroupState& s = state();
        const bool star = pendingStar_;
        pendingStar_ = false;
        if (s.destination == Destination::Skip) {
            return;
        }
        if (star) {
            s.destination = Destination::Skip;
            return;
        }
        if (isSkippedDestination(word)) {
            s.destination = Destination::Skip;
            return;
        }
        const bool on = !hasParam || param != 0;
        if (word == u"fonttbl") {
            s.destination = Destination::FontTable;
            fontNumber_ = -1;
        } else if (word == u"colortbl") {
            s.destination = Destination::ColourTable;
            resetColour();
        } else if (s.destination == Destination::FontTable) {
            fontTableWord(word, param);
        } else if (s.destination == Destination::ColourTable) {
            const int v = std::clamp(param, 0, 255);
            if (word == u"red") {
                red_ = v;
                colourSet_ = true;
            } else if (word == u"green") {
                green_ = v;
                colourSet_ = true;
            } else if (word == u"blue") {
                blue_ = v;
                colourSet_ = true;
            }
        } else if (word == u"u") {
            unicode(param);
        } else if (word == u"uc") {
            s.unicodeSkip = std::clamp(param, 0, 16);
        } else if (word == u"par" || word == u"sect" || word == u"page") {
            character(u'\n');
        } else if (word == u"line") {
            character(kLineBreak);
        } else if (word == u"tab") {
            character(u'\t');
        } else if (word == u"b") {
            s.bold = on;
        } else if (word == u"i") {
            s.italic = on;
        } else if (word == u"ul" || word == u"uld" || word == u"uldb" || word == u"ulw" ||
                   word == u"uldash" || word == u"ulwave" || word == u"ulth") {
            s.underline = on;
        } else if (word == u"ulnone") {
            s.underline = false;
        } else if (word == u"strike" || word == u"striked") {
            s.strike = on;
        } else if (word == u"fs") {
            if (hasParam && param > 0) {
                s.halfPoints = std::min(param, 3276);
            }
        } else if (word == u"f") {
            s.font = param;
        } else if (word == u"cf") {
            s.colour = std::max(param, 0);
        } else if (word == u"plain") {
            const Destination d = s.destination;
            const int skip = s.unicodeSkip;
            s = GroupState{};
            s.destination = d;
            s.unicodeSkip = skip;
        } else if (word == u"deff") {
            defaultFont_ = param;
        } else if (word == u"ansicpg") {
            if (param > 0) {
                codePage_ = param;
            }
        } else if (word == u"mac") {
            codePage_ = 10000;
        } else if (word == u"pc") {
            codePage_ = 437;
        } else if (word == u"pca") {
            codePage_ = 850;
        } else if (word == u"emdash") {
            character(u'\x2014');
        } else if (word == u"endash") {
            character(u'\x2013');
        } else if (word == u"bullet") {
            character(u'\x2022');
        } else if (word == u"lquote") {
            character(u'\x2018');
        } else if (word == u"rquote") {
            character(u'\x2019');
        } else if (word == u"ldblquote") {
            character(u'\x201C');
        } else if (word == u"rdblquote") {
            character(u'\x201D');
        } else if (word == u"emspace" || word == u"enspace" || word == u"qmspace") {
            character(u' ');
        }
    }

    void fontTableWord(std::u16string_view word, int param) {
        if (word == u"f") {
            endFontEntry();
            fontNumber_ = param;
        } else if (word == u"fcharset") {
            fontCodePage_ = codePageOfCharset(param);
        } else if (word == u"cpg") {
            fontCodePage_ = param;
        } else if (word == u"u") {
            unicode(param);
        }
    }

    void endFontEntry() {
        if (fontNumber_ >= 0 &&
            (fonts_.size() < RtfReader::kMaxFonts || fonts_.count(fontNumber_))) {
            std::u16string face = fontName_;
            while (!face.empty() && face.back() == u' ') {
                face.pop_back();
            }
            while (!face.empty() && face.front() == u' ') {
                face.erase(face.begin());
            }
            fonts_[fontNumber_] = {face, fontCodePage_};
        }
        fontNumber_ = -1;
        fontName_.clear();
        fontCodePage_ = 0;
    }

    void resetColour() {
        red_ = green_ = blue_ = 0;
        colourSet_ = false;
    }

    void unicode(int param) {
        const auto unit = static_cast<char16_t>(static_cast<std::uint16_t>(param));
        if (unit != 0) {
            character(unit);
        }
        skipAfterUnicode_ = state().unicodeSkip;
    }

    void byte_(char b) {
        if (state().destination == Destination::Skip) {
            return;
        }
        const int cp = currentCodePage();
        if (!pendingBytes_.empty() && cp != pendingCodePage_) {
            flushBytes();
        }
        pendingCodePage_ = cp;
        pendingBytes_.push_back(b);
    }

    int currentCodePage() const {
        const GroupState& s = stack_.empty() ? base_ : stack_.back();
        if (s.destination == Destination::FontTable && fontCodePage_ > 0) {
            return fontCodePage_;  // a face name in its own charset
        }
        if (s.destination == Destination::Text) {
            const int font = s.font >= 0 ? s.font : defaultFont_;
            auto it = fonts_.find(font);
            if (it != fonts_.end() && it->second.codePage > 0) {
                return it->second.codePage;
            }
        }
        return codePage_;
    }

    // Double-byte code pages split a character over two \'hh, so bytes are
    // decoded together once the run of them ends.
    void flushBytes() {
        if (pendingBytes_.empty()) {
            return;
        }
        const std::u16string units = options_.decodeCodePage
                                         ? options_.decodeCodePage(pendingCodePage_, pendingBytes_)
                                         : decodeWindows1252(pendingBytes_);
        pendingBytes_.clear();
        for (const char16_t u : units) {
            character(u);
        }
    }

    void character(char16_t c) {
        GroupState& s = state();
        switch (s.destination) {
            case Destination::Skip:
                return;
            case Destination::FontTable:
                if (c == u';') {
                    endFontEntry();
                } else if (fontName_.size() < 64) {
                    fontName_.push_back(c);
                }
                return;
            case Destination::ColourTable:
                if (c == u';') {
                    if (colours_.size() < RtfReader::kMaxColours) {
                        colours_.push_back(
                            colourSet_ ? std::optional<Rgb>(Rgb{static_cast<std::uint8_t>(red_),
                                                                static_cast<std::uint8_t>(green_),
                                                                static_cast<std::uint8_t>(blue_)})
                                       : std::nullopt);
                    }
                    resetColour();
                }
                return;
            case Destination::Text:
                break;
        }
        if (s.bold != lastState_.bold || s.italic != lastState_.italic ||
            s.underline != lastState_.underline || s.strike != lastState_.strike ||
            s.font != lastState_.font || s.halfPoints != lastState_.halfPoints ||
            s.colour != lastState_.colour || !haveFormat_) {
            lastState_ = s;
            haveFormat_ = true;
            format_ = RunFormat{};
            format_.bold = s.bold;
            format_.italic = s.italic;
            format_.underline = s.underline;
            format_.strike = s.strike;
            format_.halfPoints = s.halfPoints;
            const int font = s.font >= 0 ? s.font : defaultFont_;
            if (auto it = fonts_.find(font); it != fonts_.end()) {
                format_.face = it->second.face;
            }
            if (s.colour > 0 && static_cast<std::size_t>(s.colour) < colours_.size()) {
                format_.colour = colours_[static_cast<std::size_t>(s.colour)];
            }
        }
        appendRun(out_, std::u16string_view(&c, 1), format_);
    }

    std::u16string_view in_;
    const RtfReadOptions& options_;
    std::size_t pos_ = 0;
    GroupState base_;
    std::vector<GroupState> stack_;
    std::size_t overflow_ = 0;
    bool pendingStar_ = false;
    int skipAfterUnicode_ = 0;

    int codePage_ = 1252;
    int defaultFont_ = 0;
    std::map<int, FontEntry> fonts_;
    int fontNumber_ = -1;
    std::u16string fontName_;
    int fontCodePage_ = 0;
    std::vector<std::optional<Rgb>> colours_;
    int red_ = 0;
    int green_ = 0;
    int blue_ = 0;
    bool colourSet_ = false;

    std::string pendingBytes_;
    int pendingCodePage_ = 1252;

    GroupState lastState_;
    bool haveFormat_ = false;
    RunFormat format_;
    RichText out_;
};

}  // namespace

std::optional<RichText> RtfReader::read(std::u16string_view text, const RtfReadOptions& options) {
    if (!chat::isRtfDocument(text)) {
        return std::nullopt;
    }
    Parser parser(text, options);
    RichText out = parser.run();
    // The last paragraph mark ends the message rather than starting a new line.
    if (!out.empty() && !out.back().text.empty() && out.back().text.back() == u'\n') {
        out.back().text.pop_back();
        if (out.back().text.empty()) {
            out.pop_back();
        }
    }
    return out;
}

std::u16string decodeWindows1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0) {
            const char16_t c = k1252High[u - 0x80];
            out.push_back(c != 0 ? c : u'\xFFFD');
        } else {
            out.push_back(static_cast<char16_t>(u));
        }
    }
    return out;
}

int codePageOfCharset(int charset) {
    switch (charset) {
        case 0:
            return 1252;
        case 77:
            return 10000;
        case 128:
            return 932;
        case 129:
            return 949;
        case 134:
            return 936;
        case 136:
            return 950;
        case 161:
            return 1253;
        case 162:
            return 1254;
        case 163:
            return 1258;
        case 177:
            return 1255;
        case 178:
            return 1256;
        case 186:
            return 1257;
        case 204:
            return 1251;
        case 222:
            return 874;
        case 238:
            return 1250;
        case 255:
            return 437;
        default:
            return 0;
    }
}

}  // namespace kova
