#pragma once
// Reading a response head: the status line ("HTTP/1.1 200 OK") and the
// header lines, each ended by CR LF, without the blank line.
#include <cstdint>

#include "core/str.h"
#include "http/no_case.h"

namespace vxw {

// The number after the first blank of the status line; -1 when there is none.
int32_t ParseStatusCode(const vx::Str& head);
// The text after the second blank of the status line; empty when there is none.
vx::Str ParseReasonPhrase(const vx::Str& head);
// The number after the first "/" (1.1 for "HTTP/1.1"); -1 when there is none.
double ParseHttpVersion(const vx::Str& head);
// Adds every "name: value" line behind the status line to headers; lines
// without a colon are passed over.
void ParseHeaderLines(const vx::Str& head, NoCaseMultimap& headers);

}  // namespace vxw
