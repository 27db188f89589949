#include <QApplication>
#include <memory>

#include "app/KovaApp.h"
#include "app/UiStallMeter.h"
#include "ui/SkinPalette.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kova"));
    kova::applySkinPalette();
    // Benchmarks only: nothing runs unless asked for.
    std::unique_ptr<kova::UiStallMeter> stallMeter;
    if (kova::UiStallMeter::wanted()) {
        stallMeter = std::make_unique<kova::UiStallMeter>();
    }
    return kova::CKovaApp().run();
}
