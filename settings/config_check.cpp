#include "settings/config_check.h"

#include <cctype>

#include "core/log.h"
#include "settings/config_fields.h"
#include "settings/reg_file.h"

namespace {

constexpr int32_t kDefaultTimeout = 120;

bool IsText(uint32_t type) { return type == vxw::kRegSz || type == vxw::kRegExpandSz; }

// A line about the password never shows what follows its '='.
vx::Str Masked(const vx::Str& line) {
    vx::Str lower;
    for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("password") == vx::Str::npos) return line;
    size_t equals = line.find('=');
    return (equals == vx::Str::npos ? vx::Str() : line.substr(0, equals + 1)) + "****";
}

vx::Str WrongType(const ConfigField& field, uint32_t type) {
    switch (field.kind) {
        case FieldKind::Number:
        case FieldKind::Flag:
            return type == vxw::kRegDword ? vx::Str() : "Not a number, read from its first four bytes or taken as the default";
        case FieldKind::Text:
        case FieldKind::Password:
            return IsText(type) ? vx::Str() : "Not a text, read as empty";
    }
    return vx::Str();
}

vx::Str WhereOf(const vxw::RegistryKey& key, const char* name) {
    for (const vxw::RegistryKey::ValueInfo& value : key.Values()) {
        if (FindConfigField(value.name) == FindConfigField(name)) return value.where;
    }
    return vx::Str();
}

}  // namespace

void LogStoreProblems(const vxw::RegistryKey& key) {
    for (const vxw::RegistryKey::Unreadable& line : key.UnreadableLines()) {
        Log("Config::LoadConfig::Line - A line that is no value, its setting keeps its default - " + line.where +
            " - " + Masked(line.text));
    }
    for (const vxw::RegistryKey::ValueInfo& value : key.Values()) {
        const ConfigField* field = FindConfigField(value.name);
        if (field == nullptr) {
            if (!IsOtherKnownValue(value.name))
                Log("Config::LoadConfig::Name - A value the program does not know, ignored - " + value.where +
                    " - " + value.name);
            continue;
        }
        vx::Str problem = WrongType(*field, value.type);
        if (!problem.empty()) Log("Config::LoadConfig::Type - " + problem + " - " + value.where + " - " + value.name);
    }
}

void CorrectUnusable(const vxw::RegistryKey& key, Config::Values& values) {
    if (values.address.empty()) {
        values.address = "127.0.0.1";
        Log("Config::LoadConfig::Address - No address to listen on, 127.0.0.1 is used - " +
            WhereOf(key, "Address"));
    }
    if (values.timeout <= 0) {
        Log("Config::LoadConfig::Timeout - A time-out must be above 0, " + std::to_string(kDefaultTimeout) +
            " seconds are used - " + WhereOf(key, "Timeout") + " - " + std::to_string(values.timeout));
        values.timeout = kDefaultTimeout;
    }
}
