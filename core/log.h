#pragma once
// The program's log, "mirelink.log": one line per call,
// "YYYY-MM-DD hh:mm:ss\t-\t<text>" and the platform's line end, in local
// time. The Windows program keeps it beside the program file with CR LF; the
// Linux program in the user's state folder (dir_util.h) with LF, readable by
// the user alone, since with ExtraLogging it holds whole conversations.
// Opened and closed for every line so that another program may read or
// delete it in between.
#include "core/str.h"

// The end of every log line: "\n" on Linux, "\r\n" on Windows.
extern const char kLogLineEnd[];

// Appends one line; true when it was written. Callable from any thread; never throws.
// A CR or LF inside text becomes a tab: every line of the log starts with
// its time stamp. Within a LogContext the context's text comes first.
bool Log(const vx::Str& text);
// The same without the context: for lines that name their session already
// (the conversation of ExtraLogging).
bool LogWithoutContext(const vx::Str& text);

// Puts "<text> - " before every line the constructing thread logs while the
// object lives (a session's protocol and account). The text is read at each
// line, so its owner may change it; contexts nest.
class LogContext {
public:
    explicit LogContext(const vx::Str& text);
    ~LogContext();
    LogContext(const LogContext&) = delete;
    LogContext& operator=(const LogContext&) = delete;

private:
    const vx::Str* previous;
};

// An optional second reader of every line: called under the log lock with the
// formatted line, the text it was made of, and whether the file took it. The
// Linux program uses it to show lines on a terminal or hand them to the
// journal, and every line the file could not take.
using LogEcho = void (*)(const vx::Str& line, const vx::Str& text, bool written);
void SetLogEcho(LogEcho echo);

// Where the lines go from now on: a file, or none when path is empty (the
// echo still gets every line). Until it is called, the platform's place.
void SetLogFile(const vx::Str& path);

// Deletes the log file, then logs "Cleared - <version>".
void ClearLog();

// Full path of the log file; empty when lines go to no file. Throws when the
// folder of the platform's place cannot be had.
vx::Str LogFilePath();

namespace vxw {
struct DateTime;
// Formats one log line for the given calendar time (exposed for tests).
vx::Str FormatLogLine(const DateTime& when, const vx::Str& text);
// The platform's place of the log file; throws when its folder cannot be had.
vx::Str DefaultLogFilePath();
// Appends one formatted line to the file, creating it (and on Linux its
// missing folders) with the platform's access rights; true when written.
bool AppendLogLine(const vx::Str& path, const vx::Str& line);
}  // namespace vxw
