#pragma once
// Where the Linux program keeps its settings files (registry_key.h).
#include "settings/registry_key.h"

namespace vxw {

// From now on the current user's settings live in this file (an absolute
// path) instead of the usual one.
void UseSettingsFile(const vx::Str& path);

// The file that holds the settings of root.
vx::Str SettingsFilePath(RegistryKey::Root root);

}  // namespace vxw
