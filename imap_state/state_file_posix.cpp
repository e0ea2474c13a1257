#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "imap_state/state_file.h"

namespace {

// The rename itself reaches the disk with the folder's entry. Best effort:
// the new file is complete either way.
void SyncFolderOf(const vx::Str& path) {
    size_t slash = path.rfind('/');
    vx::Str folder = slash == vx::Str::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

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
    // On the disk before the rename: after a power loss the name must not
    // point to a file whose bytes never got there (a lost map costs the
    // client a download of the whole folder, and its kept flags).
    bool ok = written == bytes.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) {
        SyncFolderOf(path);
        return true;
    }
    unlink(temporary.c_str());
    return false;
}

}  // namespace ImapStateFile
