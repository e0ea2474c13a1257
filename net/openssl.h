#pragma once
// The one place that starts the TLS library. OpenSSL 3 does its own locking and
// start-up; what it still needs from us is the providers: the default one for
// TLS, and the legacy one for the Blowfish cipher of the stored proxy password.
// Loading "legacy" switches off the implicit default, so both are loaded.
#include "core/singleton.h"
#include "core/str.h"

namespace vxw {

class OpenSsl {
public:
    OpenSsl();
    ~OpenSsl();
    OpenSsl(const OpenSsl&) = delete;
    OpenSsl& operator=(const OpenSsl&) = delete;

    // Makes sure the library is started; call before any TLS or cipher use.
    static OpenSsl& Instance() { return qn::Singleton<OpenSsl>::Instance(); }
};

// The calling thread's queued library errors, at most 50, joined by " - ".
vx::Str SslErrorText();

// The folder of the library's modules beside the library itself, for when
// the configured one (OPENSSL_MODULES, or the folder the library was built
// for) lacks the legacy provider; empty where the providers are built in.
vx::Str BundledModulesFolder();

}  // namespace vxw
