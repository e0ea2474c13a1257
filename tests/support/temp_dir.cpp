#include "tests/support/temp_dir.h"

#include <algorithm>

#include "core/dir_util.h"

namespace testing_support {

std::string TempDir::File(const std::string& name) const {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '/', vxw::DirUtil::kSeparator);
    return path + vxw::DirUtil::kSeparator + relative;
}

TempDir::~TempDir() { RemoveTree(path); }

}  // namespace testing_support
