#pragma once
// Writes a chat message as an RTF document that word processors and rich-text
// controls on other systems read: a font and a colour table, character
// formatting by control words, and every character outside ASCII as a \uN
// escape, so the document itself is pure ASCII and needs no code page.

#include <string>

#include "chat/RichText.h"

namespace kova {

std::u16string writeRtf(const RichText& text);

}  // namespace kova
