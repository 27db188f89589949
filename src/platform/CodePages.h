#pragma once
// Text in the Windows code pages that RTF documents from peers use for their
// \'hh bytes, turned into UTF-16 by the C library's converters.

#include <string>
#include <string_view>

namespace kova {

// Bytes of Windows code page codePage (1250..1258, 874, 932, 936, 949, 950,
// 437, 850, 10000) as UTF-16. A code page the system cannot convert is read as
// Windows-1252; bytes that are not valid in it become U+FFFD.
std::u16string decodeCodePage(int codePage, std::string_view bytes);

}  // namespace kova
