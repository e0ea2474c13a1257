// The character-set tables: building the object (the tables are constant data
// and are not copied), and choosing a set for a Cyrillic name, which builds
// the reverse maps on the way.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "bench/figure.h"
#include "core/singleton.h"
#include "text/charset_map.h"

namespace {

const vx::CodePoints kCyrillicName = {0x418, 0x432, 0x430, 0x43D, 0x20, 0x41F,
                                      0x435, 0x442, 0x440, 0x43E, 0x432};  // "Иван Петров"

void BM_CharsetMapConstruction(benchmark::State& state) {
    for (auto _ : state) {
        vx::CharsetMap map;
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_CharsetMapConstruction)->Unit(benchmark::kMicrosecond);

void BM_ChooseCharsetCyrillicFirstCall(benchmark::State& state) {
    for (auto _ : state) {
        vx::CharsetMap map;
        benchmark::DoNotOptimize(map.ChooseCharset(kCyrillicName));
    }
}
BENCHMARK(BM_ChooseCharsetCyrillicFirstCall)->Unit(benchmark::kMicrosecond);

void BM_ChooseCharsetCyrillicLaterCalls(benchmark::State& state) {
    vx::CharsetMap map;
    map.ChooseCharset(kCyrillicName);
    for (auto _ : state) benchmark::DoNotOptimize(map.ChooseCharset(kCyrillicName));
}
BENCHMARK(BM_ChooseCharsetCyrillicLaterCalls)->Unit(benchmark::kMicrosecond);

}  // namespace

// The very first use in a fresh process, tables cold, before any benchmark ran.
void PrintColdCharsetFigures() {
    auto start = std::chrono::steady_clock::now();
    auto& map = qn::Singleton<vx::CharsetMap>::Instance();
    auto built = std::chrono::steady_clock::now();
    vx::Str chosen = map.ChooseCharset(kCyrillicName);
    auto chosenAt = std::chrono::steady_clock::now();
    auto micros = [](auto a, auto b) {
        return std::chrono::duration<double, std::micro>(b - a).count();
    };
    std::printf(
        "cold first use of the CharsetMap singleton: %.1f us; first ChooseCharset (%s): %.1f us\n",
        micros(start, built), chosen.c_str(), micros(built, chosenAt));
    PrintFigure("charset_construction_us", micros(start, built));
    PrintFigure("charset_cyrillic_us", micros(built, chosenAt));
}
