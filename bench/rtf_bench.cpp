// The chat RTF reader on hostile and on ordinary payloads; a received message
// is read on the user-interface thread, so each must take well under 100 ms.
#include <benchmark/benchmark.h>

#include "chat/ChatPayload.h"
#include "chat/RtfReader.h"
#include "chat/RtfWriter.h"
#include "platform/CodePages.h"

namespace {

void BM_ReadNestedGroups(benchmark::State& state) {
    std::u16string doc = u"{\\rtf1 ";
    for (int i = 0; i < 2000; ++i) {
        doc += u"{\\b\\i ";
    }
    doc += u"deep";
    for (int i = 0; i < 2000; ++i) {
        doc += u"}";
    }
    doc += u"}";
    for (auto _ : state) {
        benchmark::DoNotOptimize(kova::RtfReader::read(doc));
    }
}
BENCHMARK(BM_ReadNestedGroups)->Unit(benchmark::kMicrosecond);

void BM_ReadFontTable30000(benchmark::State& state) {
    std::u16string doc = u"{\\rtf1{\\fonttbl";
    for (int i = 0; i < 30000; ++i) {
        doc += u"{\\f";
        for (char c : std::to_string(i)) {
            doc.push_back(static_cast<char16_t>(c));
        }
        doc += u"\\fnil Font;}";
    }
    doc += u"}\\f29999 text}";
    for (auto _ : state) {
        benchmark::DoNotOptimize(kova::RtfReader::read(doc));
    }
}
BENCHMARK(BM_ReadFontTable30000)->Unit(benchmark::kMicrosecond);

void BM_WriteAndReadFullMessage(benchmark::State& state) {
    kova::RunFormat f;
    f.face = u"Arial";
    f.halfPoints = 20;
    kova::RichText text;
    for (int i = 0; i < 40; ++i) {
        f.bold = (i % 2) != 0;
        kova::appendRun(text, u"Привет, world! ", f);
    }
    for (auto _ : state) {
        std::u16string doc = kova::writeRtf(text);
        doc.resize(std::min(doc.size(), kova::chat::kMaxUnits));
        benchmark::DoNotOptimize(kova::RtfReader::read(doc));
    }
}
BENCHMARK(BM_WriteAndReadFullMessage)->Unit(benchmark::kMicrosecond);

// Code-page bytes broken up by text: every run of them goes through the
// system converter on its own.
void BM_ReadCodePageBytes(benchmark::State& state) {
    std::u16string doc = u"{\\rtf1\\ansi\\ansicpg1251 ";
    while (doc.size() + 5 < kova::chat::kMaxUnits) {
        doc += u"\\'cfa";
    }
    doc += u"}";
    kova::RtfReadOptions options;
    options.decodeCodePage = kova::decodeCodePage;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kova::RtfReader::read(doc, options));
    }
}
BENCHMARK(BM_ReadCodePageBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
