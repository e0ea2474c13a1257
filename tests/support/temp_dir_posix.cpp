#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

}  // namespace

TempDir::TempDir() {
    char pattern[] = "/tmp/mirelink-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

void RemoveTree(const std::string& path) {
    nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace testing_support
