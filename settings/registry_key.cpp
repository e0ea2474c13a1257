#include "settings/registry_key.h"

namespace vxw {

const char* RegistryKey::RootName(Root root) {
    return root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::vector<vx::Str> RegistryKey::TakeNotices() {
    std::vector<vx::Str> taken;
    taken.swap(notices);
    return taken;
}

}  // namespace vxw
