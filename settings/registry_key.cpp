#include "settings/registry_key.h"

namespace vxw {

std::vector<vx::Str> RegistryKey::TakeNotices() {
    std::vector<vx::Str> taken;
    taken.swap(notices);
    return taken;
}

}  // namespace vxw
