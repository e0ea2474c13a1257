#pragma once
// What a load of the settings tells the log about the store: the values it
// cannot read as written, and the ones it cannot use as they are. Each line
// names the value's place (the file and line on Linux), so a mistake made by
// hand in the settings file is never silent.
#include "settings/config.h"
#include "settings/registry_key.h"

// Logs the key's lines that are no value, the values of names the program
// does not know, and values of another type than their setting's.
void LogStoreProblems(const vxw::RegistryKey& key);

// Puts right, and logs, the values read that cannot be used: an address that
// is empty or no text (it would open the gateway to every network; only an
// explicit address may) and a time-out of 0 or less.
void CorrectUnusable(const vxw::RegistryKey& key, Config::Values& values);
