#include <windows.h>

#include <cstdlib>

#include "tests/support/test_platform.h"

namespace testing_support {

const char kProgramSuffix[] = ".exe";

void SetEnvironment(const std::string& name, const std::string& value) {
    // Both copies: the system's and the C runtime's (getenv reads the latter).
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    _putenv((name + "=" + value).c_str());
}

UnwritableFile::UnwritableFile(const std::string& path) : path(path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    holder = file == INVALID_HANDLE_VALUE ? nullptr : file;
}

UnwritableFile::~UnwritableFile() {
    if (holder != nullptr) CloseHandle(holder);
}

bool UnwritableFile::Possible() {
    return true;
}

}  // namespace testing_support
