#pragma once
// Moving formatted text between the text panes and the RichText runs that the
// RTF writer and reader work on.

#include <QString>

#include "chat/RichText.h"

class QTextCursor;
class QTextDocument;

namespace kova {

RichText richTextOf(const QTextDocument& document);

// Inserts the runs at the cursor; paragraphs become blocks.
void insertRichText(QTextCursor& cursor, const RichText& text);

inline std::u16string toU16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}
inline QString toQString(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace kova
