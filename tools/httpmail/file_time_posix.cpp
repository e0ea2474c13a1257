#include <fcntl.h>
#include <sys/stat.h>

#include "tools/httpmail/file_time.h"

namespace httpmail {

bool FileModified(const std::string& path, int64_t& seconds) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    seconds = int64_t(info.st_mtime);
    return true;
}

void SetFileModified(const std::string& path, int64_t seconds) {
    const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace httpmail
