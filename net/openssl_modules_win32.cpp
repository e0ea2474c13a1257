#include "net/openssl.h"

namespace vxw {

// The Windows build links the legacy provider into the program.
vx::Str BundledModulesFolder() { return vx::Str(); }

}  // namespace vxw
