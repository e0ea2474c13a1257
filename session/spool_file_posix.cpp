#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exception.h"
#include "session/spool_file.h"

namespace vxw {
namespace {

[[noreturn]] void Fail(const char* step, const vx::Str& text, int error) {
    throw vx::Exception(vx::Str("vxw::SpoolFile::") + step + " - " + text, error);
}

int ToFd(intptr_t handle) {
    return static_cast<int>(handle);
}

// Where the system has no unnamed files in that folder, a named one is
// unlinked at once: between the two it carries the ".spool" ending by which
// RemoveSpoolLeftovers knows it.
int OpenUnnamed(const vx::Str& folder) {
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    vx::Str pattern = folder + "mirelink-XXXXXX.spool";
    fd = mkostemps(&pattern[0], 6, O_CLOEXEC);
    if (fd >= 0) unlink(pattern.c_str());
    return fd;
}

}  // namespace

SpoolFile::SpoolFile(const vx::Str& folder) : handle(OpenUnnamed(folder)) {
    if (handle < 0) Fail("Open", "Error creating a spool file - " + folder, errno);
}

SpoolFile::~SpoolFile() {
    close(ToFd(handle));
}

void SpoolFile::Write(const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(ToFd(handle), data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail("Write", "Error writing a spool file", written < 0 ? errno : ENOSPC);
        data += written;
        size -= static_cast<size_t>(written);
    }
}

size_t SpoolFile::ReadAt(uint64_t offset, char* buffer, size_t size) {
    for (;;) {
        ssize_t read = pread(ToFd(handle), buffer, size, static_cast<off_t>(offset));
        if (read >= 0) return static_cast<size_t>(read);
        if (errno != EINTR) Fail("ReadAt", "Error reading a spool file", errno);
    }
}

int RemoveSpoolLeftovers(const vx::Str& folder) {
    // A name only exists between a create and its unlink; removing it takes
    // nothing from the gateway that holds the file open.
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return 0;
    int removed = 0;
    const vx::Str ending = ".spool";
    while (dirent* entry = readdir(listing)) {
        vx::Str name = entry->d_name;
        if (name.size() > ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0 &&
            unlink((folder + name).c_str()) == 0) {
            ++removed;
        }
    }
    closedir(listing);
    return removed;
}

}  // namespace vxw
