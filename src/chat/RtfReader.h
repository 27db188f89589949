#pragma once
// Reads an RTF document received from a peer into formatted runs: fonts, sizes,
// colours, bold, italic, underline and strike-out, paragraphs, line breaks and
// tabs, \uN escapes and \'hh bytes in the document's code page. Everything else
// is skipped. The input is untrusted: the reader is a single loop without
// recursion, keeps at most kMaxDepth group states, bounded font and colour
// tables, and never reads past the text it was given.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "chat/RichText.h"

namespace kova {

struct RtfReadOptions {
    // Turns bytes of a Windows code page (1252, 1251, 932, ...) into UTF-16.
    // Empty: a built-in Windows-1252 table, used for every code page.
    std::function<std::u16string(int codePage, std::string_view bytes)> decodeCodePage;
};

class RtfReader {
public:
    // Deeper groups share the deepest state kept; the braces still pair up.
    static constexpr std::size_t kMaxDepth = 256;
    static constexpr std::size_t kMaxFonts = 1024;
    static constexpr std::size_t kMaxColours = 1024;

    // nullopt when the text does not start as an RTF document.
    static std::optional<RichText> read(std::u16string_view text,
                                        const RtfReadOptions& options = {});
};

// Windows-1252 bytes to UTF-16 (undefined bytes become U+FFFD).
std::u16string decodeWindows1252(std::string_view bytes);

// The Windows code page of an RTF \fcharset value; 0 when the charset names none.
int codePageOfCharset(int charset);

}  // namespace kova
