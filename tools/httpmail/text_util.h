#pragma once
// Small text helpers of the HTTPMail service.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace httpmail {

std::string ToLower(std::string_view s);
bool IEquals(std::string_view a, std::string_view b);
bool IStartsWith(std::string_view s, std::string_view prefix);
// Removes blanks, tabs, CR and LF from both ends.
std::string_view Trim(std::string_view s);
// Splits at `sep` where it stands outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char sep);
// Every line break becomes CR LF; a text that does not end in a line break keeps that.
std::string ToCrLf(std::string_view text);
// Plain decimal digits only, no sign, at most `max`.
bool ParseDecimal(std::string_view s, uint64_t max, uint64_t& out);
// Replaces bytes that are not valid UTF-8 with U+FFFD.
std::string ValidUtf8(std::string_view s);

}  // namespace httpmail
