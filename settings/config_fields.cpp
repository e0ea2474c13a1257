#include "settings/config_fields.h"

#include <cctype>

namespace {

using V = Config::Values;

bool SameName(const vx::Str& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

const char kPort[] = "a port from 1 to 65535";
const char kPortOrOff[] = "0 (off) or a port from 1 to 65535";
const char kProxyPort[] = "0 (none) or a port from 1 to 65535";
// Seconds times 1000 must still be a 32-bit number of milliseconds.
const char kSeconds[] = "seconds from 1 to 2147483";
const char kMilliseconds[] = "milliseconds from 0 to 60000";

}  // namespace

const ConfigField kConfigFields[] = {
    {"Address", FieldKind::Text, &V::address, nullptr, nullptr, 0, 0, nullptr},
    {"Port", FieldKind::Number, nullptr, &V::port, nullptr, 1, 65535, kPort},
    {"PortSmtp", FieldKind::Number, nullptr, &V::portSmtp, nullptr, 1, 65535, kPort},
    {"PortImap", FieldKind::Number, nullptr, &V::portImap, nullptr, 0, 65535, kPortOrOff},
    {"Timeout", FieldKind::Number, nullptr, &V::timeout, nullptr, 1, 2147483, kSeconds},
    {"Delay", FieldKind::Number, nullptr, &V::delay, nullptr, 0, 60000, kMilliseconds},
    {"CheckOtherFolders", FieldKind::Flag, nullptr, nullptr, &V::checkOtherFolders, 0, 1, nullptr},
    {"CheckBulkFolder", FieldKind::Flag, nullptr, nullptr, &V::checkBulkFolder, 0, 1, nullptr},
    {"CheckSentFolder", FieldKind::Flag, nullptr, nullptr, &V::checkSentFolder, 0, 1, nullptr},
    {"ExtraLogging", FieldKind::Flag, nullptr, nullptr, &V::extraLogging, 0, 1, nullptr},
    {"OperaCompat", FieldKind::Flag, nullptr, nullptr, &V::operaCompat, 0, 1, nullptr},
    {"ProxyAddress", FieldKind::Text, &V::proxyAddress, nullptr, nullptr, 0, 0, nullptr},
    {"ProxyPort", FieldKind::Number, nullptr, &V::proxyPort, nullptr, 0, 65535, kProxyPort},
    {"ProxyUsername", FieldKind::Text, &V::proxyUsername, nullptr, nullptr, 0, 0, nullptr},
    {"ProxyPassword", FieldKind::Password, &V::proxyPassword, nullptr, nullptr, 0, 0, nullptr},
};
const size_t kConfigFieldCount = sizeof kConfigFields / sizeof kConfigFields[0];

const ConfigField* FindConfigField(const vx::Str& name) {
    for (const ConfigField& field : kConfigFields) {
        if (SameName(name, field.name)) return &field;
    }
    return nullptr;
}

bool IsOtherKnownValue(const vx::Str& name) {
    // Every version leaves its own marker; an older one's is no mistake.
    return SameName(name.substr(0, 4), "ver-") || SameName(name, "UpdateServer") ||
           SameName(name, "ImapAutologout");
}
