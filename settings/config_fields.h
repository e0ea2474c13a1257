#pragma once
// The settings a user may name, with their types and the values that make
// sense: the Linux program's --get and --set, and the check of a settings
// file's value names and types, go through this one table.
#include <cstdint>

#include "settings/config.h"

enum class FieldKind {
    Text,
    Number,
    Flag,      // 0 or 1
    Password,  // text, stored protected, never shown
};

struct ConfigField {
    const char* name;
    FieldKind kind;
    vx::Str Config::Values::*text;      // Text and Password
    int32_t Config::Values::*number;    // Number
    bool Config::Values::*flag;         // Flag
    int32_t minimum, maximum;           // Number
    const char* meaning;                // what a value out of range is told
};

extern const ConfigField kConfigFields[];
extern const size_t kConfigFieldCount;

// The field of that name (any letter case, as in the registry), or null.
const ConfigField* FindConfigField(const vx::Str& name);

// Values the program writes or reads that are no setting of the table: the
// version markers ("ver-" + a version) and the read-only overrides.
bool IsOtherKnownValue(const vx::Str& name);
