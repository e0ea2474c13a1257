#pragma once
// One open key of the settings store, with the operations of the narrow
// registry functions that the settings use. On Windows it is the registry; on
// other systems a file in the registry editor's export format (reg_file.h):
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/Palisandre/Mirelink.reg (~/.config by default)
//   HKEY_LOCAL_MACHINE  /etc/Palisandre/Mirelink.reg
#include <cstdint>
#include <memory>
#include <vector>

#include "core/str.h"

namespace vxw {

class RegistryKey {
public:
    enum class Root { CurrentUser, LocalMachine };

    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // How Create treats the Linux file (the registry has no such cases).
    enum class Access {
        Create,    // makes its folder and the file as needed; bytes that are no settings file are moved aside
        Existing,  // a reload: a file that is gone or cannot be read is a failure and stays where it is
        Read,      // makes nothing: a file that does not exist reads as an empty key
    };
    void SetAccess(Access chosen) { access = chosen; }

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

    // Why the last Create or Set failed, to be put after an error text:
    // " - <file> - <the system's words>" for the Linux file; empty where the
    // store says nothing more.
    const vx::Str& FailureDetail() const { return failure; }

    struct ValueInfo {
        vx::Str name;
        uint32_t type;  // the registry's type (REG_SZ, REG_DWORD, ...)
        vx::Str where;  // the value's place for a message: "<file>:<line>" or the key
    };
    // Every value of the open key, in the store's order.
    std::vector<ValueInfo> Values() const;

    struct Unreadable {
        vx::Str where;  // "<file>:<line>"
        vx::Str text;   // the line as written
    };
    // The lines of the key that could not be read as values (only a file
    // edited by hand has them).
    std::vector<Unreadable> UnreadableLines() const;

    // What opening the key did besides (a file that could not be read moved
    // aside, value lines without a key line taken as the key's), one text
    // each for the log; each is handed out once.
    std::vector<vx::Str> TakeNotices();

    // The name of the root as the registry editor writes it.
    static const char* RootName(Root root);

private:
    struct Impl;
    // The Linux file's bytes into opened, as access asks; false on failure.
    bool Read(Impl& opened);

    std::unique_ptr<Impl> impl;
    vx::Str failure;
    std::vector<vx::Str> notices;
    Access access = Access::Create;
};

}  // namespace vxw
