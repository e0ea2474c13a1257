#pragma once
// Paths of the shell's special folders, always ending in a backslash unless
// empty.
#include "core/str.h"

namespace vxg {

// folderId is a CSIDL value. Throws the vxg::GetSpecialFolderPath texts.
vx::Str GetSpecialFolderPath(int folderId);

// The user's Startup folder; failing that the all-users one; failing that
// the user's once more, whose exception then passes.
vx::Str GetStartupFolderPath();

}  // namespace vxg
