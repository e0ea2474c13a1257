#pragma once
// Whether an answer of the service arrived whole. The HTTP client takes a
// connection that closed before the status line, or in the middle of a sized
// body, as the end of the answer; for the web mail client that is a failed
// request, or a message cut short would reach the mail client as if whole.
#include <cstddef>
#include <cstdint>

#include <string_view>

#include "core/str.h"

// "" when the answer is whole, else what is wrong with it. head is the status
// line and header lines, status its code, bodySize the bytes of body that arrived.
vx::Str DescribeIncompleteAnswer(const vx::Str& head, int32_t status, size_t bodySize);

// The value of the first header line of that name in head (the status line
// and header lines), without surrounding blanks; false when there is none.
bool FindHeader(std::string_view head, std::string_view name, std::string_view& value);
