// The launcher and the copy share two pipes: the copy's standard output and
// error, relayed to the launcher's standard error until the copy runs, and a
// status pipe that carries the copy's process id (from the first child) and
// then one byte from the copy itself: 'R' running, 'A' another copy runs.
// A copy that ends before it says either closes the pipe without a byte.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/relaunch.h"
#include "core/dir_util.h"

namespace app {
namespace {

const char kStatusVariable[] = "MIRELINK_LAUNCHER_FD";
constexpr int kStartWaitMs = 60000;

struct Pipe {
    int read = -1, write = -1;
    bool Open() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return false;
        read = ends[0];
        write = ends[1];
        return true;
    }
    ~Pipe() {
        if (read >= 0) close(read);
        if (write >= 0) close(write);
    }
};

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

[[noreturn]] void RunCopy(const vx::Str& program, const std::vector<vx::Str>& arguments, Pipe& output,
                          Pipe& status) {
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    dup2(output.write, STDOUT_FILENO);
    dup2(output.write, STDERR_FILENO);
    int statusFd = dup(status.write);  // without close-on-exec: the copy keeps it
    setenv(kStatusVariable, std::to_string(statusFd).c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const vx::Str& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    std::string text = "mirelink: cannot start " + program + ": " + std::strerror(errno) + "\n";
    WriteAll(STDERR_FILENO, text.data(), text.size());
    _exit(127);
}

// First child: a new session, then the copy as a grandchild that no terminal
// or parent owns; its process id goes to the launcher.
[[noreturn]] void StartSession(const vx::Str& program, const std::vector<vx::Str>& arguments, Pipe& output,
                               Pipe& status) {
    setsid();
    pid_t copy = fork();
    if (copy == 0) RunCopy(program, arguments, output, status);
    if (copy > 0) WriteAll(status.write, reinterpret_cast<const char*>(&copy), sizeof copy);
    _exit(copy > 0 ? 0 : 1);
}

// Relays the copy's words and reads its status until both pipes close.
vx::Str Follow(Pipe& output, Pipe& status) {
    vx::Str said;
    pollfd ends[2] = {{output.read, POLLIN, 0}, {status.read, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int ready = poll(ends, 2, kStartWaitMs);
        if (ready == 0) break;
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        for (pollfd& end : ends) {
            if (end.fd < 0 || end.revents == 0) continue;
            char piece[4096];
            ssize_t n = read(end.fd, piece, sizeof piece);
            if (n <= 0) {
                end.fd = -1;
                --open;
            } else if (end.fd == output.read) {
                WriteAll(STDERR_FILENO, piece, static_cast<size_t>(n));
            } else {
                said.append(piece, static_cast<size_t>(n));
            }
        }
    }
    return said;
}

}  // namespace

int RelaunchDetached(const std::vector<vx::Str>& arguments) {
    vx::Str program;
    try {
        program = vxw::DirUtil::GetProgramPath() + "mirelink";
    } catch (...) {
        std::fprintf(stderr, "mirelink: cannot find the program file to start\n");
        return 1;
    }
    Pipe output, status;
    if (!output.Open() || !status.Open()) {
        std::fprintf(stderr, "mirelink: cannot start a copy: %s\n", std::strerror(errno));
        return 1;
    }
    pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "mirelink: cannot start a copy: %s\n", std::strerror(errno));
        return 1;
    }
    if (child == 0) StartSession(program, arguments, output, status);
    close(output.write);
    close(status.write);
    output.write = status.write = -1;
    waitpid(child, nullptr, 0);
    vx::Str said = Follow(output, status);
    pid_t copy = 0;
    if (said.size() > sizeof copy) std::memcpy(&copy, said.data(), sizeof copy);
    char outcome = said.size() > sizeof copy ? said[sizeof copy] : '\0';
    if (outcome == 'R') {
        std::printf("%ld\n", static_cast<long>(copy));
        return 0;
    }
    if (outcome == 'A') return 0;
    std::fprintf(stderr, "mirelink: the copy did not start\n");
    return 1;
}

void TellLauncher(StartOutcome outcome) {
    const char* variable = getenv(kStatusVariable);
    if (variable == nullptr) return;
    int fd = std::atoi(variable);
    unsetenv(kStatusVariable);
    if (fd <= STDERR_FILENO) return;
    char byte = outcome == StartOutcome::Running ? 'R' : 'A';
    WriteAll(fd, &byte, 1);
    close(fd);
    if (outcome != StartOutcome::Running) return;
    int null = open("/dev/null", O_WRONLY);
    if (null < 0) return;
    fflush(stdout);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
}

}  // namespace app
