#include "chat/RichTextDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

namespace kova {

namespace {

RunFormat runFormatOf(const QTextCharFormat& f, const QFont& documentFont) {
    RunFormat r;
    const QStringList families = f.fontFamilies().toStringList();
    r.face = toU16(families.isEmpty() ? documentFont.family() : families.front());
    const double points = f.fontPointSize() > 0 ? f.fontPointSize() : documentFont.pointSizeF();
    r.halfPoints = points > 0 ? static_cast<int>(std::lround(points * 2)) : 0;
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) {
        const QColor c = f.foreground().color();
        r.colour = Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                       static_cast<std::uint8_t>(c.blue())};
    }
    r.bold = f.fontWeight() >= QFont::Bold;
    r.italic = f.fontItalic();
    r.underline = f.fontUnderline();
    r.strike = f.fontStrikeOut();
    return r;
}

QTextCharFormat textFormatOf(const RunFormat& r) {
    QTextCharFormat f;
    if (!r.face.empty()) {
        f.setFontFamilies({toQString(r.face)});
    }
    if (r.halfPoints > 0) {
        f.setFontPointSize(r.halfPoints / 2.0);
    }
    if (r.colour) {
        f.setForeground(QColor(r.colour->red, r.colour->green, r.colour->blue));
    }
    f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(r.italic);
    f.setFontUnderline(r.underline);
    f.setFontStrikeOut(r.strike);
    return f;
}

}  // namespace

RichText richTextOf(const QTextDocument& document) {
    RichText out;
    const QFont font = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            const RunFormat f =
                out.empty() ? runFormatOf(block.charFormat(), font) : out.back().format;
            appendRun(out, u"\n", f);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid()) {
                appendRun(out, toU16(fragment.text()), runFormatOf(fragment.charFormat(), font));
            }
        }
    }
    return out;
}

void insertRichText(QTextCursor& cursor, const RichText& text) {
    for (const auto& run : text) {
        const QTextCharFormat format = textFormatOf(run.format);
        std::u16string_view rest = run.text;
        while (!rest.empty()) {
            const std::size_t end = rest.find(u'\n');
            const std::u16string_view piece = rest.substr(0, end);
            if (!piece.empty()) {
                cursor.insertText(toQString(piece), format);
            }
            if (end == std::u16string_view::npos) {
                break;
            }
            cursor.insertBlock(cursor.blockFormat(), format);
            rest.remove_prefix(end + 1);
        }
    }
}

}  // namespace kova
