#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/single_instance.h"
#include "core/dir_util.h"
#include "core/exception.h"

namespace app {
namespace {

vx::Str LockFilePath() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && vxw::DirUtil::FolderExists(runtime)) {
        return vx::Str(runtime) + "/vx-mirelink-instance";
    }
    return "/tmp/vx-mirelink-instance-" + std::to_string(getuid());
}

}  // namespace

bool SingleInstance::Acquire() {
    Release();
    vx::Str path = LockFilePath();
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) throw vx::Exception("app::SingleInstance::Acquire::open - Error opening " + path, errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return false;
        throw vx::Exception("app::SingleInstance::Acquire::flock - Error locking " + path, error);
    }
    handle = fd;
    return true;
}

void SingleInstance::Release() {
    if (handle < 0) return;
    close(static_cast<int>(handle));  // closing drops the lock
    handle = -1;
}

}  // namespace app
