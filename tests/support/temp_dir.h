#pragma once
// A fresh folder in the system's temporary folder, removed with everything in
// it at destruction.
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    // A path inside the folder; '/' in name separates folders on every system.
    std::string File(const std::string& name) const;

private:
    std::string path;
};

// Removes a file or a folder tree; missing paths are fine.
void RemoveTree(const std::string& path);

}  // namespace testing_support
