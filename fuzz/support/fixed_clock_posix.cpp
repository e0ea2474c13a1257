// The fuzzers' calendar clock. UIDVALIDITY, dates of arrival and the ages of
// state files come from time(); on the real clock an input would take other
// branches when a second turns over under it, the coverage libFuzzer steers
// by would differ from run to run, and one seed would not give one answer.
// This definition stands in for the C library's in every fuzzer: it starts
// at a fixed moment and moves one second per call, so time still passes.
#include <ctime>

extern "C" time_t time(time_t* out) {
    static time_t now = 1767225600;  // 2026-01-01 00:00:00 UTC
    const time_t value = __atomic_add_fetch(&now, 1, __ATOMIC_RELAXED);
    if (out != nullptr) *out = value;
    return value;
}
