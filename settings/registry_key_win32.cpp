// The settings store is the registry itself, through the narrow functions.
#include <windows.h>

#include <cstring>

#include "settings/registry_key.h"

namespace vxw {

struct RegistryKey::Impl {
    HKEY key = nullptr;
    vx::Str where;  // the key as the registry editor names it
    ~Impl() {
        if (key != nullptr) RegCloseKey(key);
    }
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;

bool RegistryKey::Create(Root root, const vx::Str& path) {
    Close();
    HKEY parent = root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    auto opened = std::make_unique<Impl>();
    char noClass[] = "";
    if (RegCreateKeyExA(parent, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &opened->key, nullptr) != ERROR_SUCCESS) {
        opened->key = nullptr;
        return false;
    }
    opened->where = vx::Str(RootName(root)) + "\\" + path;
    impl = std::move(opened);
    return true;
}

void RegistryKey::Close() {
    impl.reset();
}

bool RegistryKey::HasValue(const vx::Str& name) const {
    return impl && RegQueryValueExA(impl->key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_SUCCESS;
}

bool RegistryKey::QueryNumber(const vx::Str& name, int32_t& number) const {
    if (!impl) return false;
    BYTE bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(impl->key, name.c_str(), nullptr, nullptr, bytes, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                     static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    number = static_cast<int32_t>(value);
    return true;
}

bool RegistryKey::QueryString(const vx::Str& name, vx::Str& text) const {
    if (!impl) return false;
    // The value may grow between the size query and the read: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(impl->key, name.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return false;
        }
        vx::Str buffer(size + 1, '\0');
        DWORD got = size;
        LONG result = RegQueryValueExA(impl->key, name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(&buffer[0]), &got);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        buffer.resize(got);
        text = buffer.substr(0, buffer.find('\0'));
        return true;
    }
    return false;
}

bool RegistryKey::SetNumber(const vx::Str& name, int32_t number) {
    DWORD value = static_cast<DWORD>(number);
    return impl &&
           RegSetValueExA(impl->key, name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool RegistryKey::SetString(const vx::Str& name, const vx::Str& text) {
    return impl && RegSetValueExA(impl->key, name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::vector<RegistryKey::ValueInfo> RegistryKey::Values() const {
    std::vector<ValueInfo> values;
    if (!impl) return values;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name, type = 0;
        if (RegEnumValueA(impl->key, index, name, &length, nullptr, &type, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back({vx::Str(name, length), type, impl->where});
    }
    return values;
}

// The registry holds values only: no line of it is unreadable.
std::vector<RegistryKey::Unreadable> RegistryKey::UnreadableLines() const { return {}; }

}  // namespace vxw
