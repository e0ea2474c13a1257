#include "tests/http/peer_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/file_util.h"

namespace testing_support {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

bool Accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// Waits up to ms for the process to end; true when it did.
bool Reap(pid_t pid, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

PeerProcess::PeerProcess(const std::vector<std::string>& args, int port,
                         const std::string& logFile) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        setpgid(0, 0);  // its own group, so its children stop with it
        int out = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed for " + args[0]);
    setpgid(pid, pid);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!Accepts(port)) {
        int status;
        bool ended = waitpid(pid, &status, WNOHANG) == pid;
        if (ended || std::chrono::steady_clock::now() > until) {
            if (!ended) kill(-pid, SIGKILL), waitpid(pid, nullptr, 0);
            pid = -1;
            std::string log;
            LoadFile(logFile, log);
            throw std::runtime_error(args[0] + " did not start on port " + std::to_string(port) +
                                     ": " + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

PeerProcess::~PeerProcess() {
    if (pid <= 0) return;
    kill(-pid, SIGTERM);
    if (!Reap(pid, 5000)) {
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    kill(-pid, SIGKILL);  // children the program left behind
}

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("no free loopback port");
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace testing_support
