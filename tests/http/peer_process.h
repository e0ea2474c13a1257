#pragma once
// A real server program (Apache httpd, tinyproxy) run in the foreground for
// the length of a test. Starting fails loudly, with the program's own output,
// when the program is missing or does not accept on its port within 15 s.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

class PeerProcess {
public:
    // Runs args (args[0] by path or looked up in PATH), output to logFile,
    // and waits until 127.0.0.1:port accepts. Throws std::runtime_error.
    PeerProcess(const std::vector<std::string>& args, int port, const std::string& logFile);
    // Stops the program and everything it started (SIGTERM, then SIGKILL).
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

private:
    pid_t pid = -1;
};

// A loopback port that was free a moment ago.
int FreeLoopbackPort();

}  // namespace testing_support
