#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "core/dir_util.h"
#include "settings/reg_file.h"
#include "tests/support/settings_sandbox.h"

namespace testing_support {
namespace {

const char kProgramKey[] = "Software\\Palisandre\\Mirelink";
const char kSection[] = "HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink";

HKEY currentOverride = nullptr;  // what HKEY_CURRENT_USER means now (null: the real one)
std::atomic<int> sandboxCount{0};

SettingsSandbox* processSandbox = nullptr;
void RemoveProcessSandbox() {
    delete processSandbox;
    processSandbox = nullptr;
}

HKEY CreateKey(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("SettingsSandbox: cannot create " + path);
    }
    return key;
}

}  // namespace

struct SettingsSandbox::Impl {
    HKEY parent = nullptr;  // holds the sandbox key
    std::string name;       // the sandbox key below parent
    HKEY root = nullptr;    // stands in for HKEY_CURRENT_USER
    HKEY previous = nullptr;
};

SettingsSandbox::SettingsSandbox() : impl(new Impl) {
    // Below whatever HKEY_CURRENT_USER is now: a nested sandbox lives inside
    // the process's own, which goes at exit with everything in it.
    impl->parent = CreateKey(HKEY_CURRENT_USER, "Software\\MirelinkTests");
    impl->name = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++sandboxCount);
    impl->root = CreateKey(impl->parent, impl->name);
    impl->previous = currentOverride;
    RegOverridePredefKey(HKEY_CURRENT_USER, impl->root);
    currentOverride = impl->root;
}

SettingsSandbox::~SettingsSandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, impl->previous);
    currentOverride = impl->previous;
    RegCloseKey(impl->root);
    RegDeleteTreeA(impl->parent, impl->name.c_str());
    RegCloseKey(impl->parent);
}

void SettingsSandbox::Write(const std::string& regBody) {
    vxw::RegFile document = vxw::RegFile::Parse("Windows Registry Editor Version 5.00\r\n\r\n[" +
                                                std::string(kSection) + "]\r\n" + regBody);
    HKEY key = CreateKey(impl->root, kProgramKey);
    for (const std::string& name : document.Names(kSection)) {
        const vxw::RegValue* value = document.Find(kSection, name);
        RegSetValueExA(key, name.c_str(), 0, value->type,
                       reinterpret_cast<const BYTE*>(value->data.data()),
                       static_cast<DWORD>(value->data.size()));
    }
    RegCloseKey(key);
}

std::string SettingsSandbox::Export() const {
    vxw::RegFile document;
    HKEY key = nullptr;
    if (RegOpenKeyExA(impl->root, kProgramKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof name;
        DWORD type = 0, size = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        vxw::RegValue value;
        value.type = type;
        value.data.resize(size);
        nameLength = sizeof name;
        RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(&value.data[0]), &size);
        value.data.resize(size);
        document.Set(kSection, name, value);
    }
    RegCloseKey(key);
    return document.Serialize();
}

void PrepareTestProcess() {
    // A test that crashes must end, not wait for a debugger or a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    processSandbox = new SettingsSandbox;
    std::atexit(RemoveProcessSandbox);
    SetEnvironmentVariableA("LOCALAPPDATA", (vxw::DirUtil::GetProgramPath() + "state").c_str());
}

}  // namespace testing_support
