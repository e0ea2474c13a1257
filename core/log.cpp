#include "core/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "core/clock.h"
#include "core/version.h"

namespace {

// Constant-initialised, so it exists before any static constructor can log.
std::mutex logLock;
std::atomic<LogEcho> logEcho{nullptr};
thread_local const vx::Str* logContext = nullptr;

// Under logLock. The platform's place is asked for at the first line, not
// before: the program may choose another place first.
struct LogPlace {
    bool chosen = false;
    vx::Str path;
};
LogPlace& Place() {
    static LogPlace place;
    return place;
}

vx::Str PathLocked() {
    LogPlace& place = Place();
    if (!place.chosen) {
        place.path = vxw::DefaultLogFilePath();
        place.chosen = true;
    }
    return place.path;
}

}  // namespace

namespace vxw {

vx::Str FormatLogLine(const DateTime& when, const vx::Str& text) {
    char stamp[25];
    std::snprintf(stamp, sizeof stamp, "%4.4d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    vx::Str line;
    line.reserve(text.size() + 25);
    line.append(stamp).append("\t-\t").append(text).append(kLogLineEnd);
    return line;
}

}  // namespace vxw

vx::Str LogFilePath() {
    std::lock_guard<std::mutex> guard(logLock);
    return PathLocked();
}

void SetLogFile(const vx::Str& path) {
    std::lock_guard<std::mutex> guard(logLock);
    Place().path = path;
    Place().chosen = true;
}

void SetLogEcho(LogEcho echo) { logEcho.store(echo); }

namespace {

// A text that holds line breaks (a service's answer, a client's bytes) would
// make lines without a time stamp.
vx::Str OneLine(vx::Str text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = '\t';
    }
    return text;
}

bool WriteLine(const vx::Str& text) {
    try {
        std::lock_guard<std::mutex> guard(logLock);
        vx::Str line = vxw::FormatLogLine(vxw::LocalNow(), OneLine(text));
        bool written = false;
        try {
            vx::Str path = PathLocked();
            written = !path.empty() && vxw::AppendLogLine(path, line);
        } catch (...) {
            // No folder for the log: the line can still reach the echo.
        }
        if (LogEcho echo = logEcho.load()) echo(line, text, written);
        return written;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool Log(const vx::Str& text) {
    try {
        return WriteLine(logContext == nullptr ? text : *logContext + " - " + text);
    } catch (...) {
        return false;
    }
}

bool LogWithoutContext(const vx::Str& text) {
    return WriteLine(text);
}

LogContext::LogContext(const vx::Str& text) : previous(logContext) {
    logContext = &text;
}

LogContext::~LogContext() {
    logContext = previous;
}

void ClearLog() {
    try {
        vx::Str path = LogFilePath();
        if (!path.empty()) std::remove(path.c_str());
    } catch (...) {
    }
    Log(vx::Str("Cleared - ") + kMirelinkVersion);
}
