#include "settings/config_check.h"

#include <cctype>

#include "core/log.h"
#include "net/socket_system.h"
#include "settings/config_defaults.h"
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
            return vx::Str();  // ReadNumbers says what it made of them
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


const vxw::RegistryKey::ValueInfo* InfoOf(const std::vector<vxw::RegistryKey::ValueInfo>& values,
                                          const char* name) {
    for (const vxw::RegistryKey::ValueInfo& value : values) {
        if (FindConfigField(value.name) == FindConfigField(name)) return &value;
    }
    return nullptr;
}

// Plain decimal digits, an optional minus in front, within 32 bits.
bool ReadDecimal(const vx::Str& text, int32_t& number) {
    size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text.size() - digits > 10) return false;
    int64_t value = 0;
    for (size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (digits) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    number = static_cast<int32_t>(value);
    return true;
}

// What a number stored otherwise is read as: true and number when it can be
// taken, with what was read shown for the log.
bool NumberOf(const vxw::RegistryKey& key, const vxw::RegistryKey::ValueInfo& value, int32_t& number,
              vx::Str& shown) {
    vx::Str text;
    if (key.QueryString(value.name, text)) {
        shown = "\"" + text + "\"";
        return ReadDecimal(text, number);
    }
    shown = "a value of type " + std::to_string(value.type);
    return value.type != vxw::kRegQword && value.type != vxw::kRegMultiSz && key.QueryNumber(value.name, number);
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

namespace {

// The services' ports in the order they start, with what a clash leaves.
struct ServicePort {
    const char* name;
    int32_t Config::Values::*port;
    const int32_t* fallback;  // the default; null for off
};
const ServicePort kServicePorts[] = {{"Port", &Config::Values::port, &kDefaultPorts.pop},
                                     {"PortSmtp", &Config::Values::portSmtp, &kDefaultPorts.smtp},
                                     {"PortImap", &Config::Values::portImap, nullptr}};

// A service given the port of one before it (POP3, SMTP, IMAP) keeps its
// default instead; IMAP is then off.
void CorrectClashes(const vxw::RegistryKey& key, Config::Values& values) {
    for (size_t later = 1; later < 3; ++later) {
        int32_t& port = values.*kServicePorts[later].port;
        int32_t fallback = kServicePorts[later].fallback ? *kServicePorts[later].fallback : 0;
        for (size_t earlier = 0; earlier < later && port != 0; ++earlier) {
            if (port != values.*kServicePorts[earlier].port) continue;
            Log(vx::Str("Config::LoadConfig::Port - A port another service has, the default is used - ") +
                WhereOf(key, kServicePorts[later].name) + " - " + kServicePorts[later].name + " - read " +
                std::to_string(port) + " - used " + std::to_string(fallback));
            port = fallback;
        }
    }
}

}  // namespace

void CorrectUnusable(const vxw::RegistryKey& key, Config::Values& values) {
    if (values.address.empty()) {
        values.address = "127.0.0.1";
        Log("Config::LoadConfig::Address - No address to listen on, 127.0.0.1 is used - " +
            WhereOf(key, "Address"));
    }
    if (!values.address.empty() && !CanListenOn(values.address)) {
        Log("Config::LoadConfig::Address - An address the services cannot listen on, 127.0.0.1 is used - " +
            WhereOf(key, "Address") + " - " + values.address);
        values.address = "127.0.0.1";
    }
    CorrectClashes(key, values);
    if (values.timeout <= 0) {
        Log("Config::LoadConfig::Timeout - A time-out must be above 0, " + std::to_string(kDefaultTimeout) +
            " seconds are used - " + WhereOf(key, "Timeout") + " - " + std::to_string(values.timeout));
        values.timeout = kDefaultTimeout;
    }
}

bool ReadNumbers(const vxw::RegistryKey& key, Config::Values& values) {
    std::vector<vxw::RegistryKey::ValueInfo> stored = key.Values();
    bool otherType = false;
    for (size_t i = 0; i < kConfigFieldCount; ++i) {
        const ConfigField& field = kConfigFields[i];
        const vxw::RegistryKey::ValueInfo* value = InfoOf(stored, field.name);
        if (field.kind != FieldKind::Number && field.kind != FieldKind::Flag) continue;
        if (value == nullptr) continue;
        int32_t number = 0;
        vx::Str shown;
        bool taken = value->type == vxw::kRegDword ? key.QueryNumber(value->name, number)
                                                    : NumberOf(key, *value, number, shown);
        if (taken && field.kind == FieldKind::Number) values.*field.number = number;
        if (taken && field.kind == FieldKind::Flag) values.*field.flag = number == 1;
        if (value->type == vxw::kRegDword) continue;
        otherType = true;
        int32_t used = field.kind == FieldKind::Number ? values.*field.number : values.*field.flag;
        Log(vx::Str("Config::LoadConfig::Type - ") +
            (taken ? "Not stored as a number, read as one" : "Not a number, the default is used") + " - " +
            value->where + " - " + field.name + " - read " + shown + " - used " + std::to_string(used));
    }
    return otherType;
}

bool CanListenOn(const vx::Str& address) {
    uint32_t resolved = 0;
    return !address.empty() && vxw::sys::LookupHost(address, resolved);
}

vx::Str PortClash(const Config::Values& values) {
    for (size_t later = 1; later < 3; ++later) {
        for (size_t earlier = 0; earlier < later; ++earlier) {
            int32_t port = values.*kServicePorts[later].port;
            if (port != 0 && port == values.*kServicePorts[earlier].port)
                return vx::Str(kServicePorts[earlier].name) + " and " + kServicePorts[later].name + " are both " +
                       std::to_string(port);
        }
    }
    return vx::Str();
}
