#pragma once
// The base folders of the freedesktop rules, for the Linux-only code.
#include "core/str.h"

namespace vxw {
namespace DirUtil {

// $HOME, else the user's entry in the password database.
vx::Str HomeFolder();
// The absolute folder the variable names, else the home folder + "/" + fallback.
vx::Str XdgFolder(const char* variable, const char* fallback);

}  // namespace DirUtil
}  // namespace vxw
