#include <windows.h>

#include <atomic>
#include <string>

#include "core/exception.h"
#include "session/spool_file.h"

namespace vxw {
namespace {

[[noreturn]] void Fail(const char* step, const vx::Str& text, DWORD error) {
    throw vx::Exception(vx::Str("vxw::SpoolFile::") + step + " - " + text,
                        static_cast<int32_t>(error));
}

HANDLE ToHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::atomic<uint32_t> fileCounter{0};

// Shared with no one, not even for deletion, so that another gateway's
// clean-up cannot take it; deleted by the system when the handle closes,
// also when the process ends in a crash.
HANDLE OpenUnnamed(const vx::Str& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        vx::Str name = folder + "mirelink-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++fileCounter) + ".spool";
        HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

SpoolFile::SpoolFile(const vx::Str& folder)
    : handle(reinterpret_cast<intptr_t>(OpenUnnamed(folder))) {
    if (ToHandle(handle) == INVALID_HANDLE_VALUE) {
        Fail("Open", "Error creating a spool file - " + folder, GetLastError());
    }
}

SpoolFile::~SpoolFile() {
    CloseHandle(ToHandle(handle));
}

void SpoolFile::Write(const char* data, size_t size) {
    LARGE_INTEGER end = {};
    SetFilePointerEx(ToHandle(handle), end, nullptr, FILE_END);
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(ToHandle(handle), data, chunk, &written, nullptr) || written == 0) {
            Fail("Write", "Error writing a spool file", GetLastError());
        }
        data += written;
        size -= written;
    }
}

size_t SpoolFile::ReadAt(uint64_t offset, char* buffer, size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(ToHandle(handle), buffer, chunk, &read, &at)) {
        DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF) return 0;
        Fail("ReadAt", "Error reading a spool file", error);
    }
    return read;
}

int RemoveSpoolLeftovers(const vx::Str& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*.spool").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        // A file another gateway holds open cannot be deleted: it stays.
        if (DeleteFileA((folder + entry.cFileName).c_str())) ++removed;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return removed;
}

}  // namespace vxw
