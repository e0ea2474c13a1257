#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    char base[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPath failed");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = std::string(base) + "mirelink-test-" +
                                std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(++counter);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path = candidate;
            return;
        }
    }
    throw std::runtime_error("CreateDirectory failed");
}

void RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace testing_support
