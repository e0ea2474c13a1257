#pragma once
// Times of the service as seconds since 1970 in UTC, and their ISO 8601 form
// ("2026-03-04T09:15:00Z"), which is how listings give a message's arrival.
// Computed by hand: the C library's calendar calls are not thread-safe everywhere.
#include <cstdint>
#include <string>

namespace httpmail {

int64_t NowUtc();
// The instant of a calendar date and time in UTC.
int64_t UtcSeconds(int year, unsigned month, unsigned day, int hour, int minute, int second);
std::string IsoUtc(int64_t seconds);

}  // namespace httpmail
