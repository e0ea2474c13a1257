#include "core/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "core/clock.h"
#include "core/dir_util.h"
#include "core/file_util.h"
#include "core/version.h"

namespace {

// Constant-initialised, so it exists before any static constructor can log.
std::mutex logLock;
std::atomic<LogEcho> logEcho{nullptr};

}  // namespace

namespace vxw {

vx::Str FormatLogLine(const DateTime& when, const vx::Str& text) {
    char stamp[25];
    std::snprintf(stamp, sizeof stamp, "%4.4d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    vx::Str line;
    line.reserve(text.size() + 25);
    line.append(stamp).append("\t-\t").append(text).append("\r\n");
    return line;
}

}  // namespace vxw

vx::Str LogFilePath() { return vxw::DirUtil::GetProgramPath() + "mirelink.log"; }

void SetLogEcho(LogEcho echo) { logEcho.store(echo); }

bool Log(const vx::Str& text) {
    try {
        std::lock_guard<std::mutex> guard(logLock);
        vx::Str line = vxw::FormatLogLine(vxw::LocalNow(), text);
        bool written = false;
        try {
            written = AppendToFile(LogFilePath(), line);
        } catch (...) {
            // No program folder: the line can still reach the echo.
        }
        if (LogEcho echo = logEcho.load()) echo(line, written);
        return written;
    } catch (...) {
        return false;
    }
}

void ClearLog() {
    try {
        std::remove(LogFilePath().c_str());
    } catch (...) {
    }
    Log(vx::Str("Cleared - ") + kMirelinkVersion);
}
