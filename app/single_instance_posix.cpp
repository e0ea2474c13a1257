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

// A lock file that is no plain file of this user, readable by no one else,
// was put there by someone else: it is not written to.
bool IsOwnPlainFile(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 077) == 0;
}

}  // namespace

// The runtime folder is the user's alone. Without one the lock stays out of
// the shared temporary folder, where another user could put a link or a file
// of the same name first, and goes to the user's state folder (mode 0700).
vx::Str SingleInstance::Place(const vx::Str& name) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && vxw::DirUtil::FolderExists(runtime)) {
        return vx::Str(runtime) + "/" + name;
    }
    return vxw::DirUtil::GetStateFolder() + name;
}

bool SingleInstance::Acquire() {
    Release();
    vx::Str path = Place(name);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw vx::Exception("app::SingleInstance::Acquire::open - Error opening " + path, errno);
    if (!IsOwnPlainFile(fd)) {
        close(fd);
        throw vx::Exception("app::SingleInstance::Acquire::open - Not a file of this user's own, readable by "
                            "no one else - " + path);
    }
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
    int fd = -1;
    try {
        fd = open(Place(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } catch (const vx::Exception&) {
    }
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
