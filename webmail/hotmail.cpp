// Hotmail: the request path every operation goes through, and the login.
#include "webmail/hotmail.h"

#include <cstdint>

#include "core/log.h"
#include "core/main_window.h"
#include "core/thread.h"
#include "http/digest.h"
#include "settings/config.h"
#include "text/ascii.h"
#include "text/str_util.h"
#include "text/xml.h"
#include "webmail/answer_check.h"
#include "webmail/endpoints.h"
#include "webmail/message_stream.h"
#include "webmail/request_bodies.h"

namespace {

const char kLoginTag[] = "Hotmail::Login";

// Sent with every request of the session. The client's own "User-Agent"
// keeps its spelling; only its value changes (header names compare without case).
const struct {
    const char* name;
    const char* value;
} kDefaultHeaders[] = {
    {"User-agent", "Outlook-Express/6.0 (MSIE 6.0; Windows NT 5.1; .NET CLR 1.0.3705; TmstmpExt)"},
    {"Content-type", "text/xml"},
    {"Brief", "t"},
    {"Allow-rename", "t"},
    {"Cache-control", "no-cache"},
};

constexpr int32_t kRedirectBudget = 20;
// The service answers 503 while it is busy; one more try after this pause.
constexpr uint32_t kRetryPauseMs = 4000;

vx::Str LowerAscii(vx::Str text) {
    for (char& c : text) c = vx::Ascii::ToLower(c);
    return text;
}

vx::Str Endpoint(const vx::Str& lowerUser) {
    using namespace webmail_endpoints;
    if (lowerUser.find("@msn") != vx::Str::npos)
        return vx::Str("http://") + kMsnDataHost + kMsnDataPath;
    return vx::Str("http://") + kGatewayHost + kGatewayPath;
}

}  // namespace

Hotmail::Hotmail() {
    for (const auto& header : kDefaultHeaders) http.SetHeader(header.name, header.value);
}

std::unique_ptr<WebmailAccount> MakeHotmail() {
    return std::make_unique<Hotmail>();
}

void Hotmail::Disconnect() {
    http.Close();
}

void Hotmail::MakeRequest(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                          const vx::Str& destination, const vx::StrParts& body, bool retry) {
    vxw::PartsSource source(body);
    MakeRequest(url, method, depth, destination, source, retry);
}

void Hotmail::MakeRequest(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                          const vx::Str& destination, vxw::BodySource& body, bool retry,
                          MessageStream* stream, int refreshesLeft) {
    try {
        SendOnce(url, method, depth, destination, body, stream);
        if (lastStatus == 503 && retry) {
            vxw::Sleep(kRetryPauseMs);
            MakeRequest(url, method, depth, destination, body, false, stream, refreshesLeft);
            return;
        }
        // A multistatus answer (a listing, megabytes for a large folder) is
        // never a wait page: no need to search it for a refresh.
        vx::Str target;
        if (lastStatus == 207 || !GetRefreshUrl(lastBody, target)) return;
        // A page that keeps refreshing (to itself, or in a circle) would
        // otherwise be requested for ever.
        if (refreshesLeft <= 0)
            throw vx::Exception("Hotmail::MakeRequest::Refresh - Too many refresh follow-ups - " +
                                url);
        MakeRequest(target, method, depth, destination, body, true, stream, refreshesLeft - 1);
    } catch (...) {
        Log("Hotmail::MakeRequest::catch - " + method + " " + url);
        throw;
    }
}

void Hotmail::SendOnce(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                       const vx::Str& destination, vxw::BodySource& body, MessageStream* stream) {
    vx::Str host = GetUrlServerAddress(url);
    int32_t port = GetUrlPort(url);
    vx::Str path = GetUrlPath(url);
    const Config& config = Config::Instance();
    http.SetServer(port, UsesTls(url), host, config.ProxyAddress(), config.ProxyPort(),
                   config.ProxyUsername(), config.ProxyPassword(), vxw::ConfiguredTimeoutMs());
    SetOrRemoveHeader("Destination", destination);
    SetOrRemoveHeader("Depth", depth);
    vxw::Http::SinkChooser toStream;
    if (stream != nullptr) {
        toStream = [stream](const vxw::Http& answer) -> vxw::BodySink* {
            int32_t status = answer.GetStatusCode();
            return status >= 200 && status <= 299 ? stream : nullptr;
        };
    }
    // The body always goes, so every request says its Content-Length, 0 included.
    http.SendRequest(path, method, &body, username.c_str(), password.c_str(), kRedirectBudget, true,
                     true, toStream);
    vx::Str head = http.GetResponseHeaders();
    vx::Str page;
    http.TakePage(page);
    if (stream != nullptr && !stream->Passing() && page.empty()) stream->TakeHeld(page);
    // A sink that had enough cut the answer short on purpose.
    size_t arrived = http.BodyStopped() ? SIZE_MAX : static_cast<size_t>(http.GetBodyBytes());
    vx::Str problem = DescribeIncompleteAnswer(head, http.GetStatusCode(), arrived);
    if (!problem.empty())
        throw vx::Exception("Hotmail::MakeRequest::Answer - " + problem + " - " + url);
    lastHeaders = std::move(head);
    lastBody = std::move(page);
    lastStatus = http.GetStatusCode();
}

void Hotmail::SetOrRemoveHeader(const char* name, const vx::Str& value) {
    if (value.empty())
        http.RemoveHeader(name);
    else
        http.SetHeader(name, value);
}

// Only the service's refusal of the credentials is a wrong password: the
// mail client then forgets the saved one and asks the user. Anything else (no
// connection, a time-out, a 5xx, a proxy's refusal, an answer without the
// folders) is a failure the session reports as temporary.
bool Hotmail::Login(const vx::Str& user, const vx::Str& pass) {
    try {
        return OpenAccount(user, pass);
    } catch (const vx::Exception& failure) {
        // A 401 that the HTTP client could not answer further: the service
        // has seen the credentials and refused them.
        bool refused =
            failure.Code() == 401 && dynamic_cast<const vxw::HttpError*>(&failure) != nullptr;
        ReportLoginFailure(failure, refused);
        if (refused) return false;
        throw;
    } catch (...) {
        Logged(kLoginTag).LogCurrent();
        throw;
    }
}

bool Hotmail::OpenAccount(const vx::Str& user, const vx::Str& pass) {
    folderUrls.clear();
    // They would go into a request header (a Digest user name is sent as
    // it is): a line break there lets the name add header lines of its own.
    if (vxw::HoldsControlCharacter(user) || vxw::HoldsControlCharacter(pass)) {
        Log("Hotmail::Login - The account name or password holds a control character");
        return false;
    }
    username = LowerAscii(user);
    password = pass;
    serverUrl = Endpoint(username);
    MakeRequest(serverUrl, "PROPFIND", "0", "", {request_bodies::Login()}, true);
    // A 403 to credentials sent is a refusal too (an account the service
    // bars); without them, a proxy's 403 says nothing of the account.
    if (lastStatus == 403 && http.SendsCredentials()) {
        Log("Hotmail::Login - The service refused the account - " +
            FailureLog::AnswerText(lastHeaders, lastBody));
        return false;
    }
    if (lastStatus < 200 || lastStatus > 299)
        throw vx::Exception("Hotmail::Login::Status - The service answered the login with " +
                            FailureLog::AnswerText(lastHeaders, lastBody));
    vx::Xml answer(lastBody);
    vx::Str& inbox = folderUrls["inbox"];
    inbox = answer.FindFirst("hm:inbox").GetValue();
    sendUrl = answer.FindFirst("hm:sendmsg").GetValue();
    trashUrl = answer.FindFirst("hm:deleteditems").GetValue();
    folderRootUrl = answer.FindFirst("hm:msgfolderroot").GetValue();
    // An answer without them is none the client can use, not a refusal.
    if (inbox.empty() || sendUrl.empty() || trashUrl.empty() || folderRootUrl.empty()) {
        throw vx::Exception("Hotmail::Login - Error getting folder locations - " +
                            FailureLog::AnswerText(lastHeaders, lastBody));
    }
    if (Config::Instance().CheckOtherFolders()) GetOtherFolderUrls();
    return true;
}

// Only inside Login's handler for vx::Exception. The line says why: the
// reason phrase of the service's refusal or error status, otherwise what
// failed (no connection, a time-out, an answer without the folders).
void Hotmail::ReportLoginFailure(const vx::Exception& failure, bool refused) const {
    if (Config::Instance().ExtraLogging()) return Logged(kLoginTag).LogCurrent();
    // A socket failure leaves the status of an earlier answer behind.
    bool answered = dynamic_cast<const vxw::HttpError*>(&failure) != nullptr ||
                    dynamic_cast<const vxw::SocketError*>(&failure) == nullptr;
    int32_t status = http.GetStatusCode();
    vx::Str reason = refused || (answered && status >= 300) ? http.GetReasonPhrase() : vx::Str();
    vx::Str text = "Error logging in to Hotmail - " + (reason.empty() ? failure.Message() : reason);
    Log(text);
    MainWindowEvents* window = GetMainWindow();
    if (window != nullptr && dynamic_cast<const vxw::HttpError*>(&failure) == nullptr)
        window->ShowLoginError(text);
}
