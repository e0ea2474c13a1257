#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/test_platform.h"

namespace testing_support {

const char kProgramSuffix[] = "";

void SetEnvironment(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

UnwritableFile::UnwritableFile(const std::string& path) : path(path) {
    chmod(path.c_str(), 0444);
}
UnwritableFile::~UnwritableFile() {
    chmod(path.c_str(), 0644);
}
bool UnwritableFile::Possible() {
    return geteuid() != 0;
}

}  // namespace testing_support
