#pragma once
// One measured figure in the form bench/run.sh collects into its table:
// a line "figure NAME VALUE" among the program's own report.
#include <cstdio>

inline void PrintFigure(const char* name, double value) {
    std::printf("figure %s %.6g\n", name, value);
}
