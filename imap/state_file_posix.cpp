#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "imap/state_file.h"

namespace ImapStateFile {

bool WriteAtomically(const vx::Str& path, const vx::Str& bytes) {
    vx::Str temporary = path + ".tmp" + std::to_string(getpid());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count <= 0) break;
        written += static_cast<size_t>(count);
    }
    bool ok = close(fd) == 0 && written == bytes.size();
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
    unlink(temporary.c_str());
    return false;
}

}  // namespace ImapStateFile
