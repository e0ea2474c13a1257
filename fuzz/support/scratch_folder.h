#pragma once
// A private folder for one fuzzer process beside the program, removed when
// the process ends normally: the settings file and the log live there
// (XDG_CONFIG_HOME and XDG_STATE_HOME point at it), and so do any files a
// target writes.
#include "core/str.h"
#include "settings/config.h"

namespace fuzz_support {

// Created on first use; aborts when it cannot be.
const vx::Str& ScratchFolder();

// Points the settings and the log at the scratch folder and saves values there.
void UsePrivateSettings(const Config::Values& values);

}  // namespace fuzz_support
