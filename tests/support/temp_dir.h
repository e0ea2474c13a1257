#pragma once
// A fresh folder under /tmp, removed with everything in it at destruction.
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

// Removes a file or a folder tree; missing paths are fine.
void RemoveTree(const std::string& path);

}  // namespace testing_support
