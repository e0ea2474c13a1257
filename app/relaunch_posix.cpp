#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/relaunch.h"
#include "core/dir_util.h"

namespace app {

void RelaunchDetached() {
    vx::Str program;
    try {
        program = vxw::DirUtil::GetProgramPath() + "mirelink";
    } catch (...) {
        return;
    }
    pid_t child = fork();
    if (child < 0) return;
    if (child > 0) {
        waitpid(child, nullptr, 0);
        return;
    }
    // First child: a new session, then a grandchild that no terminal or
    // parent owns.
    setsid();
    if (fork() != 0) _exit(0);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO) close(null);
    }
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace app
