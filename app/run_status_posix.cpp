#include "app/run_status_posix.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/single_instance.h"
#include "core/clock.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "core/log.h"
#include "core/log_priority.h"

namespace app {
namespace {

constexpr size_t kLogTail = 1 << 20;  // the last error is looked for this far back
const char kLogPrefix[] = "log=";
const char kStandardError[] = "standard error";

vx::Str StatusPath(const vx::Str& instanceName) { return SingleInstance::Place(instanceName) + ".status"; }

vx::Str Now() { return vxw::FormatLogLine(vxw::LocalNow(), "").substr(0, 19); }

// Through a temporary file and a rename, readable by the user alone: a
// --status that reads meanwhile sees the old lines or the new ones.
void WritePrivately(const vx::Str& path, const vx::Str& text) {
    vx::Str temporary = path + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    bool whole = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (close(fd) == 0 && whole && rename(temporary.c_str(), path.c_str()) == 0) return;
    unlink(temporary.c_str());
}

// The values of the status lines that begin with prefix ("service="), in order.
std::vector<vx::Str> ValuesOf(const vx::Str& status, const vx::Str& prefix) {
    std::vector<vx::Str> values;
    for (size_t at = 0; at < status.size();) {
        size_t end = status.find('\n', at);
        if (end == vx::Str::npos) end = status.size();
        if (status.compare(at, prefix.size(), prefix) == 0)
            values.push_back(status.substr(at + prefix.size(), end - at - prefix.size()));
        at = end + 1;
    }
    return values;
}

vx::Str ValueOf(const vx::Str& status, const vx::Str& prefix) {
    std::vector<vx::Str> values = ValuesOf(status, prefix);
    return values.empty() ? vx::Str() : values.front();
}

// The last line of the log whose text is an error, with its time; empty for none.
vx::Str LastError(const vx::Str& logFile) {
    FILE* log = std::fopen(logFile.c_str(), "rb");
    if (log == nullptr) return vx::Str();
    std::fseek(log, 0, SEEK_END);
    long size = std::ftell(log);
    std::fseek(log, size > static_cast<long>(kLogTail) ? size - static_cast<long>(kLogTail) : 0, SEEK_SET);
    vx::Str tail(kLogTail, '\0');
    tail.resize(std::fread(&tail[0], 1, tail.size(), log));
    std::fclose(log);
    vx::Str found;
    size_t start = 0;
    while (start < tail.size()) {
        size_t end = tail.find('\n', start);
        if (end == vx::Str::npos) end = tail.size();
        vx::Str line = tail.substr(start, end - start);
        size_t text = line.find("\t-\t");
        if (text != vx::Str::npos && PriorityOf(line.substr(text + 3)) == LogPriority::Error)
            found = line.substr(0, text) + " - " + line.substr(text + 3);
        start = end + 1;
    }
    return found;
}

vx::Str LastErrorLine(const vx::Str& logFile) {
    if (logFile == kStandardError) return "Last error: see the journal (the log goes to standard error)";
    vx::Str error = LastError(logFile);
    return error.empty() ? "Last error: none in " + logFile : "Last error: " + error;
}

}  // namespace

RunStatus::RunStatus(const vx::Str& instanceName, const vx::Str& settingsFile, const vx::Str& logFile) {
    try {
        path = StatusPath(instanceName);
    } catch (const vx::Exception&) {
        // No place for it: --status then says less, the gateway runs all the same.
    }
    head = "pid=" + std::to_string(getpid()) + "\nstarted=" + Now() + "\nsettings=" + settingsFile + "\n" +
           kLogPrefix + logFile + "\n";
}

RunStatus::~RunStatus() {
    if (written) unlink(path.c_str());
}

void RunStatus::Services(const std::vector<vx::Str>& lines) {
    if (path.empty()) return;
    vx::Str text = head;
    for (const vx::Str& line : lines) text += "service=" + line + "\n";
    WritePrivately(path, text);
    written = true;
}

int ShowStatus(const vx::Str& instanceName, const vx::Str& settingsFile) {
    int64_t pid = SingleInstance::Holder(instanceName);
    if (pid <= 0) {
        std::printf("Mirelink does not run with %s\n", settingsFile.c_str());
        return 3;
    }
    std::printf("Mirelink runs with %s (process %lld)\n", settingsFile.c_str(), static_cast<long long>(pid));
    vx::Str status;
    try {
        LoadFile(StatusPath(instanceName), status);
    } catch (const vx::Exception&) {
    }
    // A copy that is still starting has written no status yet.
    if (ValueOf(status, "pid=") != std::to_string(pid)) return 0;
    std::printf("Started: %s\n", ValueOf(status, "started=").c_str());
    for (const vx::Str& service : ValuesOf(status, "service=")) std::printf("%s\n", service.c_str());
    std::printf("%s\n", LastErrorLine(ValueOf(status, kLogPrefix)).c_str());
    return 0;
}

}  // namespace app
