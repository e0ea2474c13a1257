#pragma once
// How much a log text matters, for readers that sort lines so: a service
// manager's journal (journalctl -p err) and the Linux program's --status,
// which shows the last error. The log itself carries no level; the texts
// follow fixed patterns (a failure caught at a thread's edge ends its place
// in "::catch", a settings problem names "Config::LoadConfig::"), and these
// decide.
#include "core/str.h"

// The syslog priorities the program uses.
enum class LogPriority { Error = 3, Warning = 4, Notice = 6 };

LogPriority PriorityOf(const vx::Str& text);

// The line as a journal takes it on standard error: the priority in angle
// brackets and the text, no time stamp (the journal keeps its own), one line.
vx::Str JournalLine(const vx::Str& text);
