// Commands of ImapSession allowed in any state (RFC 3501 6.1; STARTTLS is
// refused, as the capabilities do not offer it), and those of
// the authenticated state that only describe the server: NAMESPACE (RFC 2342)
// and ID (RFC 2971).
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_string.h"
#include "settings/config.h"

void ImapSession::CmdCapability(Request& request) {
    RequireArgs(request, 0);
    Untagged("CAPABILITY " + Capabilities(state != State::NotAuthenticated));
    Tagged(request.tag, "OK", "CAPABILITY completed");
}

void ImapSession::CmdNoop(Request& request) {
    RequireArgs(request, 0);
    if (selected) RefreshSelected();
    Tagged(request.tag, "OK", request.name + " completed");
}

void ImapSession::CmdCheck(Request& request) {
    CmdNoop(request);
}

void ImapSession::CmdLogout(Request& request) {
    RequireArgs(request, 0);
    Untagged("BYE Mirelink logging out");
    EndAs("logged out");
    Tagged(request.tag, "OK", "LOGOUT completed");
    state = State::Logout;
}

void ImapSession::CmdId(Request& request) {
    RequireArgs(request, 1);
    if (!request.args[0].Is("NIL") && !request.args[0].IsList())
        throw ImapFailure::Bad("ID needs a list or NIL");
    vx::Str response = "ID (\"name\" \"Mirelink\" \"version\" ";
    ImapString::AppendString(response, Config::GetVersion());
    Untagged(response + ")");
    Tagged(request.tag, "OK", "ID completed");
}

// The connection is on the loopback, where TLS protects nothing; a client
// that asks anyway (fetchmail does, unasked) must hear no at once.
void ImapSession::CmdStartTls(Request&) {
    throw ImapFailure::Bad("TLS is not offered");
}

void ImapSession::CmdNamespace(Request& request) {
    RequireArgs(request, 0);
    Untagged("NAMESPACE ((\"\" \"/\")) NIL NIL");
    Tagged(request.tag, "OK", "NAMESPACE completed");
}
