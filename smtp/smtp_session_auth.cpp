// AUTH PLAIN (RFC 4616) and AUTH LOGIN, with or without an initial response.
#include <iterator>

#include "session/session_report.h"
#include "smtp/smtp_session.h"
#include "text/ascii.h"
#include "text/str_util.h"

const SmtpSession::MechanismEntry SmtpSession::kMechanisms[] = {
    {"PLAIN", &SmtpSession::AuthenticatePlain},
    {"LOGIN", &SmtpSession::AuthenticateLogin},
};

SmtpSession::Stage SmtpSession::ProcessAuth(const Command& command) {
    size_t blank = command.argument.find(' ');
    vx::Str mechanism = command.argument.substr(0, blank);
    vx::Str initialResponse = blank == vx::Str::npos ? "" : command.argument.substr(blank + 1);
    for (char& c : mechanism) c = vx::Ascii::ToUpper(c);
    for (const MechanismEntry& entry : kMechanisms) {
        if (mechanism != entry.name) continue;
        bool accepted = (this->*entry.authenticate)(initialResponse);
        return accepted ? Stage::Authenticated : Stage::NotAuthenticated;
    }
    Reply(504, "Unrecognized authentication type.");
    return Stage::NotAuthenticated;
}

// The decoded response is authorisation identity, NUL, user, NUL, password;
// the identity is ignored: the account is the user's own.
bool SmtpSession::AuthenticatePlain(const vx::Str& initialResponse) {
    vx::Str response = initialResponse.empty() ? Challenge("") : initialResponse;
    vx::Str decoded = vx::StrUtil::Base64Decode(response);
    size_t first = decoded.find('\0');
    size_t second = first == vx::Str::npos ? first : decoded.find('\0', first + 1);
    if (second == vx::Str::npos) {
        Reply(501, "Authentication failed");
        return false;
    }
    return LogIn(decoded.substr(first + 1, second - first - 1), decoded.substr(second + 1));
}

bool SmtpSession::AuthenticateLogin(const vx::Str& initialResponse) {
    vx::Str user = initialResponse.empty() ? Challenge(vx::StrUtil::Base64Encode("Username:"))
                                           : initialResponse;
    vx::Str password = Challenge(vx::StrUtil::Base64Encode("Password:"));
    return LogIn(vx::StrUtil::Base64Decode(user), vx::StrUtil::Base64Decode(password));
}

vx::Str SmtpSession::Challenge(const vx::Str& text) {
    Reply(334, text);
    channel.Pause();
    return channel.ReadSecretLine();
}

bool SmtpSession::LogIn(const vx::Str& user, const vx::Str& password) {
    vxw::SessionReport* report = vxw::SessionReport::Current();
    if (report != nullptr) report->SetAccount(user);
    bool accepted = false;
    // Only the service's refusal of the credentials fails them: a client
    // told 501 may forget the saved password and ask the user again.
    try {
        accepted = account->Login(user, password);
    } catch (...) {
        channel.ReplyBeforeClosing("454 4.7.0 Temporary authentication failure\r\n");
        if (report != nullptr) report->FailAs("service not available");
        throw;
    }
    if (!accepted) {
        loginRefused = true;
        ReportActivity();
        Reply(501, "Authentication failed");
        return false;
    }
    stage = Stage::Authenticated;
    ReportActivity();
    Reply(235, "Authentication successful");
    return true;
}
