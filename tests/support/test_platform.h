#pragma once
// The few system calls that portable tests need, on either system.
#include <string>

namespace testing_support {

// How program files end their names ("" or ".exe").
extern const char kProgramSuffix[];

void SetEnvironment(const std::string& name, const std::string& value);

// For its lifetime, an existing file cannot be opened for writing by anyone:
// read-only on Linux, held open without sharing on Windows.
class UnwritableFile {
public:
    explicit UnwritableFile(const std::string& path);
    ~UnwritableFile();
    UnwritableFile(const UnwritableFile&) = delete;
    UnwritableFile& operator=(const UnwritableFile&) = delete;

    // False when this process would write through it anyway (root on Linux).
    static bool Possible();

private:
    std::string path;
    void* holder = nullptr;  // the open handle on Windows
};

}  // namespace testing_support
