// Independent readers accept what the chat writer produces: unrtf's plain-text
// and HTML output, and LibreOffice's RTF import where it is installed.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

#include "chat/RichTextDocument.h"
#include "chat/RtfWriter.h"

namespace kova {
namespace {

const QString kLatin = QString::fromUtf8("Hello café, naïve Zürich ÅØ ß");
const QString kNonLatin = QString::fromUtf8("Привет мир 世界 Ελλάδα");

QString writeDocument(const QTemporaryDir& dir) {
    RunFormat bold;
    bold.face = u"Arial";
    bold.halfPoints = 20;
    bold.bold = true;
    RunFormat colour = bold;
    colour.bold = false;
    colour.colour = Rgb{0, 0, 200};
    colour.italic = true;
    const RichText text = {{toU16(kLatin), bold}, {u"\n" + toU16(kNonLatin), colour}};
    const QString path = dir.filePath("message.rtf");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    // The document is ASCII; its UTF-16 units are written as bytes.
    f.write(toQString(writeRtf(text)).toLatin1());
    return path;
}

QString run(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        return "timed out";
    }
    if (out != nullptr) {
        *out = p.readAllStandardOutput();
    }
    return p.exitCode() == 0 ? QString() : QString::fromLocal8Bit(p.readAllStandardError());
}

TEST(RtfReaders, UnrtfGivesBackTheTypedText) {
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty()) {
        GTEST_SKIP() << "SKIPPED: unrtf is not installed (scripts/install-deps.sh installs it)";
    }
    QTemporaryDir dir;
    const QString path = writeDocument(dir);
    QByteArray text;
    ASSERT_EQ(run(unrtf, {"--text", path}, &text), "");
    // unrtf's text output writes 8-bit letters as single bytes and has no way
    // to write others: it shows the Latin line whole, accents included.
    const QString asText = QString::fromLatin1(text);
    EXPECT_TRUE(asText.contains(kLatin)) << asText.toStdString();

    // Its HTML output carries every \u escape as a character reference.
    QByteArray html;
    ASSERT_EQ(run(unrtf, {"--html", path}, &html), "");
    const QString shown = QTextDocumentFragment::fromHtml(QString::fromUtf8(html)).toPlainText();
    EXPECT_TRUE(shown.contains(kLatin)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(kNonLatin)) << shown.toStdString();
}

TEST(RtfReaders, LibreOfficeImportsIt) {
    QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) {
        soffice = QStandardPaths::findExecutable("libreoffice");
    }
    if (soffice.isEmpty()) {
        GTEST_SKIP() << "SKIPPED: LibreOffice (soffice) is not installed; its RTF import is "
                        "not checked";
    }
    QTemporaryDir dir;
    const QString path = writeDocument(dir);
    ASSERT_EQ(
        run(soffice, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                      "--convert-to", "txt:Text (encoded):UTF8", "--outdir", dir.path(), path}),
        "");
    QFile out(dir.filePath("message.txt"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(out.readAll());
    EXPECT_TRUE(text.contains(kLatin)) << text.toStdString();
    EXPECT_TRUE(text.contains(kNonLatin)) << text.toStdString();
}

}  // namespace
}  // namespace kova
