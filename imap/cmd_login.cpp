// LOGIN and AUTHENTICATE PLAIN (RFC 3501 6.2, RFC 4616, SASL-IR of RFC 4959)
// of ImapSession: the credentials log the web mail client in, exactly as the
// POP3 PASS command does; the service judges them.
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "session/session_report.h"
#include "text/ascii.h"
#include "text/base64.h"

namespace {

// The SASL PLAIN message: authzid NUL authcid NUL passwd. False when it has
// another form, or asks to act for another user.
bool SplitPlain(const vx::Str& message, vx::Str& user, vx::Str& password) {
    size_t first = message.find('\0');
    if (first == vx::Str::npos) return false;
    size_t second = message.find('\0', first + 1);
    if (second == vx::Str::npos || message.find('\0', second + 1) != vx::Str::npos) return false;
    vx::Str authorize = message.substr(0, first);
    user = message.substr(first + 1, second - first - 1);
    password = message.substr(second + 1);
    return !user.empty() && (authorize.empty() || authorize == user);
}

}  // namespace

void ImapSession::CmdLogin(Request& request) {
    RequireArgs(request, 2);
    LogIn(request, AString(request, 0), AString(request, 1));
}

bool ImapSession::LogIn(const Request& request, const vx::Str& name, const vx::Str& password) {
    // The log names the account tried from here on, a failure's line too.
    if (vxw::SessionReport* report = vxw::SessionReport::Current()) report->SetAccount(name);
    if (!account->Login(name, password)) {
        throw ImapFailure::No("[AUTHENTICATIONFAILED] Invalid username or password specified");
    }
    user = name;
    state = State::Authenticated;
    Tagged(request.tag, "OK", "[CAPABILITY " + Capabilities(true) + "] Logged in");
    return true;
}

void ImapSession::CmdAuthenticate(Request& request) {
    RequireArgs(request, 1, 2);
    if (!vx::Ascii::EqualNoCase(AString(request, 0), "PLAIN"))
        throw ImapFailure::No("[CANNOT] Only the PLAIN mechanism is offered");
    vx::Str response;
    if (request.args.size() == 2) {
        response = AString(request, 1);
        if (response == "=") response.clear();  // an empty initial response
    } else {
        out.Write("+ \r\n");
        out.Flush();
        response = ReadContinuation(true);
    }
    if (response == "*") throw ImapFailure::Bad("Authentication cancelled");
    bool error = false;
    vx::Str message = vx::DecodeBase64(response, &error);
    vx::Str name, password;
    if (error || !SplitPlain(message, name, password))
        throw ImapFailure::Bad("Invalid PLAIN authentication data");
    LogIn(request, name, password);
}
