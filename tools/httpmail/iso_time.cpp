#include "tools/httpmail/iso_time.h"

#include <chrono>
#include <cstdio>

namespace httpmail {

namespace {
const int64_t kDay = 86400;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and
// back; eras of 400 years keep the arithmetic exact for any year.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int64_t(yoe) + era * 400 + (m <= 2);
}
}  // namespace

int64_t NowUtc() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t UtcSeconds(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    return DaysFromCivil(year, month, day) * kDay + hour * 3600 + minute * 60 + second;
}

std::string IsoUtc(int64_t seconds) {
    int64_t days = seconds / kDay, rest = seconds % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<long long>(year), month, day, int(rest / 3600), int(rest / 60 % 60),
                  int(rest % 60));
    return text;
}

}  // namespace httpmail
