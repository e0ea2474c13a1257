#include <benchmark/benchmark.h>

void PrintColdCharsetFigures();

int main(int argc, char** argv) {
    PrintColdCharsetFigures();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
