#pragma once
// The dates IMAP deals in, as seconds since 1970 in UTC: INTERNALDATE
// (RFC 3501 date-time), SEARCH dates ("1-Feb-1994"), the Date header field
// (RFC 5322 3.3) and the service's ISO 8601 times. Computed by hand rather
// than through the C library, whose time zone calls differ per system.
#include <cstdint>
#include <string_view>

#include "core/str.h"

namespace ImapDate {

// "\"02-Jan-2024 03:04:05 +0000\"" (day with a leading blank below 10).
vx::Str InternalDate(int64_t utc);
// The same read back, without its quotes: " 2-Jan-2024 03:04:05 +0000"
// (an APPEND's date); false for anything else.
bool ParseInternalDate(std::string_view text, int64_t& utc);
// "1-Feb-1994" or "01-Feb-1994" (quoted or not); the day's first second.
bool ParseSearchDate(std::string_view text, int64_t& day);
// "Tue, 1 Feb 1994 10:20:30 +0100" and its variants; utc is the instant,
// day the first second of the date as written (SENTON compares dates).
bool ParseHeaderDate(std::string_view text, int64_t& utc, int64_t& day);
// "2024-01-02T03:04:05Z" (fractions and offsets allowed).
bool ParseIsoDate(std::string_view text, int64_t& utc);
// When a message arrived, as its header tells: the date of the topmost
// Received field (after its last ";", RFC 5322 3.6.7), else its Date field.
bool ArrivalFromHeader(std::string_view header, int64_t& utc);
// The first second of the day holding utc.
int64_t DayOf(int64_t utc);

}  // namespace ImapDate
