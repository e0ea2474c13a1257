#include <dlfcn.h>
#include <openssl/provider.h>

#include "net/openssl.h"

namespace vxw {

vx::Str BundledModulesFolder() {
    // Where the library that holds this function lies, e.g.
    // /usr/lib/x86_64-linux-gnu/libcrypto.so.3: Debian keeps its modules in
    // ossl-modules beside it.
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&OSSL_PROVIDER_load), &info) == 0 || info.dli_fname == nullptr)
        return vx::Str();
    vx::Str library = info.dli_fname;
    size_t slash = library.rfind('/');
    return slash == vx::Str::npos ? vx::Str() : library.substr(0, slash + 1) + "ossl-modules";
}

}  // namespace vxw
