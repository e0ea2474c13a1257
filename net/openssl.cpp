#include "net/openssl.h"

#include <openssl/err.h>
#include <openssl/provider.h>
#include <openssl/ssl.h>

namespace vxw {

OpenSsl::OpenSsl() {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    defaults = OSSL_PROVIDER_load(nullptr, "default");
}

OpenSsl::~OpenSsl() {
    if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
    if (defaults != nullptr) OSSL_PROVIDER_unload(defaults);
}

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
