#include "net/openssl.h"

#include <openssl/err.h>
#include <openssl/provider.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstdlib>

namespace vxw {
namespace {

std::atomic<OSSL_PROVIDER*> defaults{nullptr};
std::atomic<OSSL_PROVIDER*> legacy{nullptr};

// Runs at exit before the library's own clean-up (which was set up earlier,
// by the library's first start-up), so the providers go while it is whole.
// The singleton's destructor cannot do it: depending on which singleton came
// first, it may run after the library has been cleaned up.
void UnloadProviders() {
    if (OSSL_PROVIDER* provider = legacy.exchange(nullptr)) OSSL_PROVIDER_unload(provider);
    if (OSSL_PROVIDER* provider = defaults.exchange(nullptr)) OSSL_PROVIDER_unload(provider);
}

}  // namespace

OpenSsl::OpenSsl() {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    // The default provider first: a thread that uses the library meanwhile
    // must never find only the legacy one.
    defaults = OSSL_PROVIDER_load(nullptr, "default");
    legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    vx::Str bundled = legacy ? vx::Str() : BundledModulesFolder();
    if (!bundled.empty() && OSSL_PROVIDER_set_default_search_path(nullptr, bundled.c_str()) == 1)
        legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    // What a failed attempt queued is no error of whoever uses the library next;
    // the cipher says itself when it cannot be had.
    ERR_clear_error();
    std::atexit(UnloadProviders);
}

OpenSsl::~OpenSsl() = default;

vx::Str SslErrorText() {
    vx::Str text;
    for (int i = 0; i < 50; ++i) {
        unsigned long code = ERR_get_error();
        if (code == 0) break;
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.empty()) text += " - ";
        text += buffer;
    }
    return text;
}

}  // namespace vxw
