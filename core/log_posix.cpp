#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/dir_util.h"
#include "core/log.h"

const char kLogLineEnd[] = "\n";

namespace vxw {
namespace {

bool AppendOnce(const vx::Str& path, const vx::Str& line) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < line.size()) {
        ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && done == line.size();
}

}  // namespace

vx::Str DefaultLogFilePath() { return DirUtil::GetStateFolder() + "mirelink.log"; }

bool AppendLogLine(const vx::Str& path, const vx::Str& line) {
    if (AppendOnce(path, line)) return true;
    if (errno != ENOENT) return false;
    // The folder went while the program ran: make it again.
    try {
        DirUtil::CreatePath(path.substr(0, path.rfind('/') + 1));
    } catch (...) {
        return false;
    }
    return AppendOnce(path, line);
}

}  // namespace vxw
