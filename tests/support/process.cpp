#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace testing_support {
namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    }
    ~Pipe() {
        CloseEnd(0);
        CloseEnd(1);
    }
    void CloseEnd(int end) {
        if (fds[end] >= 0) ::close(fds[end]);
        fds[end] = -1;
    }
};

// Feeds input and collects both outputs until the child closes them or time runs out.
bool Exchange(Pipe& in, Pipe& out, Pipe& err, const std::string& input, ProcessResult& result,
              int timeoutSeconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    size_t written = 0;
    if (input.empty()) in.CloseEnd(1);
    while (out.fds[0] >= 0 || err.fds[0] >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[3] = {{out.fds[0], POLLIN, 0}, {err.fds[0], POLLIN, 0}, {in.fds[1], POLLOUT, 0}};
        ::poll(fds, 3, static_cast<int>(left.count()));
        if (fds[2].revents != 0) {
            long n = ::write(in.fds[1], input.data() + written, input.size() - written);
            if (n <= 0 || (written += static_cast<size_t>(n)) == input.size()) in.CloseEnd(1);
        }
        std::pair<Pipe*, std::string*> readers[2] = {{&out, &result.out}, {&err, &result.err}};
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            char buffer[65536];
            long n = ::read(readers[i].first->fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                readers[i].first->CloseEnd(0);
            } else {
                readers[i].second->append(buffer, static_cast<size_t>(n));
            }
        }
    }
    return true;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input,
                         int timeoutSeconds) {
    Pipe in, out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawned != 0) {
        result.err = "cannot start " + args[0];
        return result;
    }
    in.CloseEnd(0);
    out.CloseEnd(1);
    err.CloseEnd(1);
    if (!Exchange(in, out, err, input, result, timeoutSeconds)) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool HaveProgram(const std::string& name) {
    return RunProcess({"sh", "-c", "command -v " + name}, "", 10).exitCode == 0;
}

}  // namespace testing_support
