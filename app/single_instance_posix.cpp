#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/single_instance.h"
#include "core/dir_util.h"
#include "core/exception.h"

namespace app {
namespace {

vx::Str LockFilePath(const vx::Str& name) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && vxw::DirUtil::FolderExists(runtime)) {
        return vx::Str(runtime) + "/" + name;
    }
    return "/tmp/" + name + "-" + std::to_string(getuid());
}

}  // namespace

bool SingleInstance::Acquire() {
    Release();
    vx::Str path = LockFilePath(name);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) throw vx::Exception("app::SingleInstance::Acquire::open - Error opening " + path, errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return false;
        throw vx::Exception("app::SingleInstance::Acquire::flock - Error locking " + path, error);
    }
    // For the messages of a second copy and of --set; the lock is what
    // counts, so a pid that could not be written only goes unsaid.
    std::string pid = std::to_string(getpid()) + "\n";
    bool recorded = ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) > 0;
    (void)recorded;
    handle = fd;
    return true;
}

void SingleInstance::Release() {
    if (handle < 0) return;
    close(static_cast<int>(handle));  // closing drops the lock
    handle = -1;
}

int64_t SingleInstance::Holder(const vx::Str& name) {
    int fd = open(LockFilePath(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    int64_t pid = 0;
    // A lock that can be had is held by nobody, whatever the file says.
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        char text[32] = {};
        ssize_t length = pread(fd, text, sizeof text - 1, 0);
        if (length > 0) pid = std::strtoll(text, nullptr, 10);
    }
    close(fd);
    return pid;
}

}  // namespace app
