#pragma once
// A private, empty settings store of the current user for as long as the
// object lives, so that tests never touch the user's own settings and never
// see each other's. On Linux a fresh $XDG_CONFIG_HOME; on Windows a fresh
// registry key that stands in for HKEY_CURRENT_USER in this process.
// Sandboxes nest: the previous store comes back at destruction.
#include <memory>
#include <string>

namespace testing_support {

class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;

    // Stores the values of a .reg body ("\"Name\"=dword:0000006e" lines) in
    // the program's key, with the types and bytes the lines give.
    void Write(const std::string& regBody);
    // The program's key as a .reg document (values in the store's order).
    std::string Export() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Called once by the test and benchmark programs' main: each gets a sandbox
// that lasts until it exits, a state folder of its own ("state" in the
// program's folder, which holds its log on Linux), and a process that behaves
// like the program (a peer that vanishes gives an error).
void PrepareTestProcess();

}  // namespace testing_support
