#pragma once
// What --get prints and how --set reads a value, over the table of settings
// (settings/config_fields.h).
#include "app/options.h"
#include "settings/config.h"

namespace app {

// "Name=value" lines of every setting in the table's order; the proxy
// password only as "(set)" or "(not set)".
vx::Str ListSettings(const Config::Values& values);

// The value of one setting as --get NAME prints it. Throws UsageError for a
// name that is no setting.
vx::Str ShowSetting(const Config::Values& values, const vx::Str& name);

// --get or --set: loads the settings (the machine's with /hklm), prints or
// changes them. Returns the exit code: 0, 2 for a name or value that cannot
// be taken (nothing is then changed), 1 when the store failed.
int RunSettingsCommand(const Options& options);

// Applies one "NAME=VALUE" to values, checked: numbers in decimal within
// their range, flags 0 or 1, texts on one line. Throws UsageError saying
// what was wrong.
void ApplyAssignment(Config::Values& values, const vx::Str& assignment);

}  // namespace app
