#include "app/settings_command.h"

#include <cstdio>
#include <string>

#include "core/exception.h"
#include "settings/config_check.h"
#include "settings/config_fields.h"

namespace app {
namespace {

vx::Str Shown(const ConfigField& field, const Config::Values& values) {
    switch (field.kind) {
        case FieldKind::Text:
            return values.*field.text;
        case FieldKind::Number:
            return std::to_string(values.*field.number);
        case FieldKind::Flag:
            return values.*field.flag ? "1" : "0";
        case FieldKind::Password:
            return (values.*field.text).empty() ? "(not set)" : "(set)";
    }
    return vx::Str();
}

const ConfigField& FieldNamed(const vx::Str& name) {
    const ConfigField* field = FindConfigField(name);
    if (field == nullptr) {
        vx::Str known;
        for (size_t i = 0; i < kConfigFieldCount; ++i) known += vx::Str(i ? ", " : "") + kConfigFields[i].name;
        throw UsageError{"there is no setting " + name + "; the settings are " + known};
    }
    return *field;
}

// Plain decimal digits only: "1e3", "0x6e", " 110" or "+110" are mistakes.
bool ReadDecimal(const vx::Str& text, int64_t& number) {
    if (text.empty() || text.size() > 10) return false;
    number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    return true;
}

bool HasControlCharacter(const vx::Str& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    }
    return false;
}

// What no single value shows: two services on one port, an address the
// services cannot listen on.
void CheckTogether(const Config::Values& values) {
    vx::Str clash = PortClash(values);
    if (!clash.empty()) throw UsageError{"two services cannot share a port: " + clash};
    if (!CanListenOn(values.address))
        throw UsageError{"Address takes an IPv4 address to listen on, such as 127.0.0.1, not \"" +
                         values.address + "\""};
}

}  // namespace

vx::Str ListSettings(const Config::Values& values) {
    vx::Str list;
    for (size_t i = 0; i < kConfigFieldCount; ++i) {
        list += vx::Str(kConfigFields[i].name) + "=" + Shown(kConfigFields[i], values) + "\n";
    }
    return list;
}

vx::Str ShowSetting(const Config::Values& values, const vx::Str& name) {
    return Shown(FieldNamed(name), values);
}

void ApplyAssignment(Config::Values& values, const vx::Str& assignment) {
    size_t equals = assignment.find('=');
    const ConfigField& field = FieldNamed(assignment.substr(0, equals));
    vx::Str value = assignment.substr(equals + 1);
    vx::Str name = field.name;
    switch (field.kind) {
        case FieldKind::Number: {
            int64_t number = 0;
            if (!ReadDecimal(value, number) || number < field.minimum || number > field.maximum)
                throw UsageError{name + " takes " + field.meaning + ", not \"" + value + "\""};
            values.*field.number = static_cast<int32_t>(number);
            return;
        }
        case FieldKind::Flag:
            if (value != "0" && value != "1") throw UsageError{name + " takes 0 or 1, not \"" + value + "\""};
            values.*field.flag = value == "1";
            return;
        case FieldKind::Text:
        case FieldKind::Password:
            // The refusal never repeats the value: it may be the password.
            if (HasControlCharacter(value))
                throw UsageError{name + " takes text on one line, without control characters"};
            // An empty address would be read as 127.0.0.1 anyway; saying so is clearer.
            if (field.text == &Config::Values::address && value.empty())
                throw UsageError{name + " takes an address to listen on, such as 127.0.0.1"};
            values.*field.text = value;
            return;
    }
}

int RunSettingsCommand(const Options& options) {
    try {
        if (options.action == Options::Action::Get) {
            // Shown, not changed: a store that does not exist yet stays so.
            Config::Values values = Config(Config::ReadOnly{options.localMachine}).GetValues();
            vx::Str text = options.getName.empty() ? ListSettings(values) : ShowSetting(values, options.getName) + "\n";
            std::fputs(text.c_str(), stdout);
            return 0;
        }
        Config& config = Config::Instance();
        if (options.localMachine) config.UseLocalMachine();
        Config::Values values = config.GetValues();
        for (const vx::Str& assignment : options.assignments) ApplyAssignment(values, assignment);
        CheckTogether(values);
        config.SetValues(values);
        return 0;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "mirelink: %s\n", e.text.c_str());
        return 2;
    } catch (const vx::Exception& e) {
        std::fprintf(stderr, "mirelink: %s\n", e.Message().c_str());
        return 1;
    }
}

}  // namespace app
