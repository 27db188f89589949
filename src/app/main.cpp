#include <QApplication>

#include "app/KovaApp.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kova"));
    return kova::CKovaApp().run();
}
