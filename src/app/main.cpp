#include <QApplication>

#include "app/KovaApp.h"
#include "ui/SkinPalette.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kova"));
    kova::applySkinPalette();
    return kova::CKovaApp().run();
}
