#include "platform/CodePages.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace kova {

namespace {

std::string iconvName(int codePage) {
    switch (codePage) {
        case 10000:
            return "MACINTOSH";
        case 437:
            return "IBM437";
        case 850:
            return "IBM850";
        default:
            return "CP" + std::to_string(codePage);
    }
}

}  // namespace

std::u16string decodeCodePage(int codePage, std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) {
        return out;
    }
    iconv_t cd = iconv_open("UTF-16LE", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        cd = iconv_open("UTF-16LE", "CP1252");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return out;
        }
    }
    // Every byte yields at most one UTF-16 unit pair.
    std::vector<char> buffer(4 * bytes.size() + 4);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if ((errno == EILSEQ || errno == EINVAL) && outLeft >= 2) {
            // An invalid or cut-off sequence: one replacement, then go on.
            ++in;
            --inLeft;
            *outPtr++ = static_cast<char>(0xFD);
            *outPtr++ = static_cast<char>(0xFF);
            outLeft -= 2;
            continue;
        }
        break;
    }
    iconv_close(cd);
    const std::size_t produced = buffer.size() - outLeft;
    out.reserve(produced / 2);
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                            (static_cast<unsigned char>(buffer[i + 1]) << 8)));
    }
    return out;
}

}  // namespace kova
