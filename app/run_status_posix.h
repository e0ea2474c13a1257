#pragma once
// What a running gateway leaves for --status: a small file beside its
// single-instance lock (the user's runtime folder, else the state folder,
// both the user's alone), written when the services start or restart and
// removed when the gateway ends.
#include <vector>

#include "core/str.h"

namespace app {

class RunStatus {
public:
    // Remembers the start time; writes nothing yet.
    RunStatus(const vx::Str& instanceName, const vx::Str& settingsFile, const vx::Str& logFile);
    ~RunStatus();
    RunStatus(const RunStatus&) = delete;
    RunStatus& operator=(const RunStatus&) = delete;

    // The report lines of the services ("POP3 on 127.0.0.1:1110", "IMAP off").
    void Services(const std::vector<vx::Str>& lines);

private:
    vx::Str path;
    vx::Str head;  // the lines before the services'
    bool written = false;
};

// --status: prints whether a gateway runs with the settings file, its
// process, when it started, where it listens and the last error line of its
// log. Returns 0 when it runs, 3 when it does not (the LSB convention).
int ShowStatus(const vx::Str& instanceName, const vx::Str& settingsFile);

}  // namespace app
