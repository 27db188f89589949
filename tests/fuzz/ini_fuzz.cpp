// INI text: parsing never crashes, and a parsed file written out parses to the
// same values.
#include <cstdlib>

#include <QByteArray>

#include "config/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    kova::IniDocument doc = kova::IniDocument::parse(bytes);
    doc.setValue(QStringLiteral("main"), QStringLiteral("count"), QStringLiteral("3\n[x]"));
    const kova::IniDocument again = kova::IniDocument::parse(doc.serialize());
    if (again.value(QStringLiteral("main"), QStringLiteral("count")) != QStringLiteral("3 [x]")) {
        std::abort();
    }
    return 0;
}
