// Start-up cost of the settings files: loading avset.cfg and a full 30-contact
// clset.cfg, as the main window does before it shows.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "config/AvSettings.h"
#include "config/ContactStore.h"

namespace {

void BM_AvSettingsSaveLoad(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("avset.cfg"));
    kova::AvSettings settings = kova::loadAvSettings(path);
    for (auto _ : state) {
        kova::saveAvSettings(path, settings);
        settings = kova::loadAvSettings(path);
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(BM_AvSettingsSaveLoad);

void BM_ContactListLoad30(benchmark::State& state) {
    QTemporaryDir dir;
    kova::CContactStore store(dir.filePath(QStringLiteral("clset.cfg")));
    for (int i = 0; i < 30; ++i) {
        store.appendEntry(QStringLiteral("Contact %1").arg(i),
                          QStringLiteral("user%1@example.org").arg(i),
                          QStringLiteral("192.0.2.%1").arg(i));
    }
    for (auto _ : state) {
        const std::uint32_t n = store.count();
        for (std::uint32_t i = 0; i < n; ++i) {
            QString name, mail, addr;
            store.readEntry(i, name, mail, addr);
            benchmark::DoNotOptimize(name);
        }
    }
}
BENCHMARK(BM_ContactListLoad30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
