#pragma once
// One open key of the settings store, with the operations of the narrow
// registry functions that the settings use. On Windows it is the registry; on
// other systems a file in the registry editor's export format (reg_file.h):
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/Palisandre/Mirelink.reg (~/.config by default)
//   HKEY_LOCAL_MACHINE  /etc/Palisandre/Mirelink.reg
#include <cstdint>
#include <memory>

#include "core/str.h"

namespace vxw {

class RegistryKey {
public:
    enum class Root { CurrentUser, LocalMachine };

    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Creates or opens path below root with full access; false on failure.
    bool Create(Root root, const vx::Str& path);
    void Close();

    bool HasValue(const vx::Str& name) const;
    // Reads at most four bytes of a value of any type into a zeroed number
    // (little-endian); false when the value is missing or longer.
    bool QueryNumber(const vx::Str& name, int32_t& number) const;
    // Reads a REG_SZ or REG_EXPAND_SZ value (not expanded); false otherwise.
    bool QueryString(const vx::Str& name, vx::Str& text) const;
    bool SetNumber(const vx::Str& name, int32_t number);
    bool SetString(const vx::Str& name, const vx::Str& text);

    // The name of the root as the registry editor writes it.
    static const char* RootName(Root root);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace vxw
