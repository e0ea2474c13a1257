#include "ui/shortcut.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include <memory>

namespace vxg {
namespace {

class ComScope {
public:
    ComScope() : initialised(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (initialised) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised;
};

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class Interface>
using ComPointer = std::unique_ptr<Interface, Releaser>;

bool Save(IShellLinkA& link, const vx::Str& linkPath) {
    IPersistFile* raw = nullptr;
    if (FAILED(link.QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&raw)))) return false;
    ComPointer<IPersistFile> file(raw);
    wchar_t widePath[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0) return false;
    return SUCCEEDED(file->Save(widePath, TRUE));
}

}  // namespace

bool CreateShortcut(const vx::Str& linkPath, const vx::Str& targetPath, const char* arguments) {
    ComScope com;
    IShellLinkA* raw = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&raw)))) {
        return false;
    }
    ComPointer<IShellLinkA> link(raw);
    link->SetPath(targetPath.c_str());
    if (arguments != nullptr) link->SetArguments(arguments);
    return Save(*link, linkPath);
}

}  // namespace vxg
