#pragma once
// Shell links (.lnk files).
#include "core/str.h"

namespace vxg {

// Writes a shortcut at linkPath to targetPath, with arguments when given
// (nullptr for none). COM is initialised for the calling thread around the
// call. True when the link was saved.
bool CreateShortcut(const vx::Str& linkPath, const vx::Str& targetPath, const char* arguments);

}  // namespace vxg
