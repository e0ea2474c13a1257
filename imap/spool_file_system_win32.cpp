#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "imap/spool_file_system.h"

namespace ImapSpoolSystem {

// In the user's own temporary folder, deleted by the system when the last
// handle closes (also when the process dies).
std::FILE* OpenPrivateTemporary() {
    char folder[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "mli", 0, path) == 0)
        return nullptr;
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "w+b");
    if (file == nullptr) _close(fd);
    return file;
}

bool Seek(std::FILE* file, uint64_t offset) {
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool Truncate(std::FILE* file) {
    return std::fflush(file) == 0 && _chsize_s(_fileno(file), 0) == 0 && Seek(file, 0);
}

}  // namespace ImapSpoolSystem
