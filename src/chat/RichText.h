#pragma once
// A chat message as runs of equally formatted text: what the RTF writer takes,
// what the reader gives and what the text panes are converted from and to.
// Inside a run's text, '\n' ends a paragraph, '\t' is a tab and U+2028 a line
// break within the paragraph.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct RunFormat {
    std::u16string face;        // empty: the reader's default font
    int halfPoints = 0;         // 0: the default size
    std::optional<Rgb> colour;  // none: the default text colour
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool operator==(const RunFormat&) const = default;
};

struct TextRun {
    std::u16string text;
    RunFormat format;
    bool operator==(const TextRun&) const = default;
};

using RichText = std::vector<TextRun>;

inline constexpr char16_t kLineBreak = u'\x2028';

// Adds text in the given format, joining it to the last run when that has the
// same format.
inline void appendRun(RichText& text, std::u16string_view chars, const RunFormat& format) {
    if (chars.empty()) {
        return;
    }
    if (!text.empty() && text.back().format == format) {
        text.back().text.append(chars);
    } else {
        text.push_back({std::u16string(chars), format});
    }
}

// All characters of the runs, formats dropped.
inline std::u16string plainText(const RichText& text) {
    std::u16string out;
    for (const auto& run : text) {
        out += run.text;
    }
    return out;
}

}  // namespace kova
