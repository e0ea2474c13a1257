#pragma once
// The program's log: "mirelink.log" in the program folder, one line per call,
// "YYYY-MM-DD hh:mm:ss\t-\t<text>\r\n" in local time. Opened and closed for
// every line so that another program may read or delete it in between.
#include "core/str.h"

// Appends one line; true when it was written. Callable from any thread; never throws.
bool Log(const vx::Str& text);

// An optional second reader of every line: called under the log lock with the
// formatted line and whether the file took it. The Linux program uses it to
// show lines on a terminal, and every line the file could not take.
using LogEcho = void (*)(const vx::Str& line, bool written);
void SetLogEcho(LogEcho echo);

// Deletes the log file, then logs "Cleared - <version>".
void ClearLog();

// Full path of the log file. Throws when the program folder cannot be had.
vx::Str LogFilePath();

// Formats one log line for the given calendar time (exposed for tests).
namespace vxw {
struct DateTime;
vx::Str FormatLogLine(const DateTime& when, const vx::Str& text);
}  // namespace vxw
