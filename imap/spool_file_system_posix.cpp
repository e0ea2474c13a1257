#include <sys/types.h>
#include <unistd.h>

#include "imap/spool_file_system.h"

namespace ImapSpoolSystem {

// tmpfile makes the file 0600 and unlinks it at once (or never links it):
// nothing is left behind, whatever ends the process.
std::FILE* OpenPrivateTemporary() {
    return std::tmpfile();
}

bool Seek(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool Truncate(std::FILE* file) {
    return std::fflush(file) == 0 && ftruncate(fileno(file), 0) == 0 && Seek(file, 0);
}

}  // namespace ImapSpoolSystem
