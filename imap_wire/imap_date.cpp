#include "imap_wire/imap_date.h"

#include <cctype>
#include <cstdio>

#include "mime/mime_header.h"
#include "text/ascii.h"

namespace ImapDate {
namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int64_t kDay = 86400;

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

int MonthOf(std::string_view name) {
    for (int i = 0; i < 12; ++i)
        if (vx::Ascii::EqualNoCase(name, kMonths[i])) return i + 1;
    return 0;
}

// Digits at text's front (at most max); false when there are none.
bool TakeNumber(std::string_view& text, int& value, size_t max = 4) {
    size_t n = 0;
    value = 0;
    while (n < text.size() && n < max && std::isdigit(static_cast<unsigned char>(text[n])))
        value = value * 10 + (text[n++] - '0');
    text.remove_prefix(n);
    return n > 0;
}

bool Take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

void SkipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
}

bool ValidDate(int year, int month, int day) {
    return year >= 1900 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// Obsolete zone names of RFC 5322 4.3, in minutes east.
bool ZoneName(std::string_view name, int& minutes) {
    const struct {
        const char* name;
        int minutes;
    } kZones[] = {{"UT", 0},     {"GMT", 0},    {"Z", 0},      {"EST", -300},
                  {"EDT", -240}, {"CST", -360}, {"CDT", -300}, {"MST", -420},
                  {"MDT", -360}, {"PST", -480}, {"PDT", -420}};
    for (const auto& zone : kZones) {
        if (vx::Ascii::EqualNoCase(name, zone.name)) {
            minutes = zone.minutes;
            return true;
        }
    }
    return false;
}

}  // namespace

int64_t DayOf(int64_t utc) {
    int64_t days = utc / kDay - (utc % kDay < 0 ? 1 : 0);
    return days * kDay;
}

vx::Str InternalDate(int64_t utc) {
    int64_t days = DayOf(utc) / kDay;
    int64_t seconds = utc - days * kDay;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "\"%2u-%s-%04lld %02d:%02d:%02d +0000\"", day,
                  kMonths[month - 1], static_cast<long long>(year),
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return text;
}

bool ParseInternalDate(std::string_view text, int64_t& utc) {
    Take(text, ' ');  // the blank of a day below 10
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, zone = 0;
    if (!TakeNumber(text, day, 2) || !Take(text, '-') || text.size() < 4) return false;
    int month = MonthOf(text.substr(0, 3));
    text.remove_prefix(3);
    if (!Take(text, '-') || !TakeNumber(text, year, 4) || !Take(text, ' ') ||
        !TakeNumber(text, hour, 2) || !Take(text, ':') || !TakeNumber(text, minute, 2) ||
        !Take(text, ':') || !TakeNumber(text, second, 2) || !Take(text, ' ') || text.size() != 5 ||
        (text.front() != '+' && text.front() != '-'))
        return false;
    const bool east = text.front() == '+';
    text.remove_prefix(1);
    const std::string_view digits = text;
    if (!TakeNumber(text, zone, 4) || !text.empty() || digits.size() != 4 ||
        !ValidDate(year, month, day) || hour > 23 || minute > 59 || second > 60 || zone % 100 > 59)
        return false;
    // A day the month does not have ("31-Feb") would read as another date.
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    if (d != static_cast<unsigned>(day)) return false;
    const int offset = (zone / 100 * 60 + zone % 100) * (east ? 1 : -1);
    utc = days * kDay + hour * 3600 + minute * 60 + second - int64_t{offset} * 60;
    return true;
}

bool ParseSearchDate(std::string_view text, int64_t& dayStart) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    int day = 0, year = 0;
    if (!TakeNumber(text, day, 2) || !Take(text, '-') || text.size() < 4) return false;
    int month = MonthOf(text.substr(0, 3));
    text.remove_prefix(3);
    if (!Take(text, '-') || !TakeNumber(text, year, 4) || !text.empty() ||
        !ValidDate(year, month, day))
        return false;
    dayStart = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kDay;
    return true;
}

bool ParseHeaderDate(std::string_view text, int64_t& utc, int64_t& dayStart) {
    SkipBlanks(text);
    // An optional day of the week.
    size_t comma = text.find(',');
    if (comma != std::string_view::npos && comma <= 9) text.remove_prefix(comma + 1);
    SkipBlanks(text);
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!TakeNumber(text, day, 2)) return false;
    SkipBlanks(text);
    if (text.size() < 3) return false;
    int month = MonthOf(text.substr(0, 3));
    text.remove_prefix(3);
    SkipBlanks(text);
    size_t yearDigits = text.size();
    if (!TakeNumber(text, year, 4)) return false;
    yearDigits -= text.size();
    // Two-digit years of RFC 5322 4.3.
    if (yearDigits == 2) year += year < 50 ? 2000 : 1900;
    if (yearDigits == 3) year += 1900;
    SkipBlanks(text);
    if (!TakeNumber(text, hour, 2) || !Take(text, ':') || !TakeNumber(text, minute, 2))
        return false;
    if (Take(text, ':') && !TakeNumber(text, second, 2)) return false;
    SkipBlanks(text);
    int offset = 0;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        bool east = text.front() == '+';
        text.remove_prefix(1);
        int zone = 0;
        std::string_view digits = text;
        if (!TakeNumber(text, zone, 4) || digits.size() - text.size() != 4) return false;
        offset = (zone / 100 * 60 + zone % 100) * (east ? 1 : -1);
    } else if (!text.empty()) {
        size_t end = text.find_first_of(" \t(");
        ZoneName(text.substr(0, end), offset);
    }
    if (!ValidDate(year, month, day) || hour > 23 || minute > 59 || second > 60) return false;
    int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    dayStart = days * kDay;
    utc = dayStart + hour * 3600 + minute * 60 + second - int64_t{offset} * 60;
    return true;
}

bool ParseIsoDate(std::string_view text, int64_t& utc) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!TakeNumber(text, year, 4) || !Take(text, '-') || !TakeNumber(text, month, 2) ||
        !Take(text, '-') || !TakeNumber(text, day, 2) || !ValidDate(year, month, day))
        return false;
    if (Take(text, 'T') || Take(text, ' ')) {
        if (!TakeNumber(text, hour, 2) || !Take(text, ':') || !TakeNumber(text, minute, 2))
            return false;
        if (Take(text, ':') && !TakeNumber(text, second, 2)) return false;
        if (Take(text, '.')) {
            int fraction = 0;
            while (TakeNumber(text, fraction, 1)) {
            }
        }
    }
    int offset = 0;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        bool east = text.front() == '+';
        text.remove_prefix(1);
        int hours = 0, minutes = 0;
        if (!TakeNumber(text, hours, 2)) return false;
        Take(text, ':');
        TakeNumber(text, minutes, 2);
        offset = (hours * 60 + minutes) * (east ? 1 : -1);
    } else {
        Take(text, 'Z');
    }
    if (!text.empty() || hour > 23 || minute > 59 || second > 60) return false;
    utc = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kDay +
          hour * 3600 + minute * 60 + second - int64_t{offset} * 60;
    return true;
}

bool ArrivalFromHeader(std::string_view header, int64_t& utc) {
    int64_t day = 0;
    vx::Str value;
    if (MimeHeader::Find(header, "Received", value)) {
        size_t semicolon = value.rfind(';');
        if (semicolon != vx::Str::npos &&
            ParseHeaderDate(std::string_view(value).substr(semicolon + 1), utc, day))
            return true;
    }
    return MimeHeader::Find(header, "Date", value) && ParseHeaderDate(value, utc, day);
}

}  // namespace ImapDate
