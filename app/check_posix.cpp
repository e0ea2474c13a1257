#include "app/check_posix.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/exception.h"
#include "http/http.h"
#include "net/socket.h"
#include "net/socket_system.h"
#include "settings/config.h"
#include "webmail/endpoints.h"
#include "webmail/hotmail.h"

namespace app {
namespace {

// A failure of one step, in the words the user is shown.
struct StepFailed {
    vx::Str step;
    vx::Str why;
};

// The socket and HTTP layers name what failed in their texts; these tell a
// failure that shows up later (a redirect to TLS during the login) by its step.
const struct {
    const char* fragment;
    const char* step;
} kFailureSteps[] = {
    {"host lookup", "name resolution"},
    {"Ssl", "TLS"},
    {"SSL", "TLS"},
    {"TLS", "TLS"},
    {"ProxyUnauthorized", "proxy authentication"},
    {"Error connecting socket", "connection"},
};

[[noreturn]] void Fail(const char* step, const vx::Exception& e) {
    for (const auto& entry : kFailureSteps) {
        if (e.Message().find(entry.fragment) != vx::Str::npos) throw StepFailed{entry.step, e.Message()};
    }
    throw StepFailed{step, e.Message()};
}

void Say(const vx::Str& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// From the terminal (without echo when hidden), else one line of standard input.
vx::Str Ask(const char* prompt, bool hidden) {
    bool terminal = isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        if (hidden && tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal && hidden) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

struct Endpoint {
    vx::Str host, path;
};

// The one the web mail client picks for the account: MSN accounts have their own.
Endpoint EndpointOf(const vx::Str& account) {
    vx::Str lower;
    for (char c : account) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower.find("@msn") != vx::Str::npos) return {webmail_endpoints::kMsnDataHost, webmail_endpoints::kMsnDataPath};
    return {webmail_endpoints::kGatewayHost, webmail_endpoints::kGatewayPath};
}

// Name resolution and connection to the first host on the way: the proxy,
// or the service itself.
void Reach(const Config::Values& values, const vx::Str& service) {
    bool proxied = !values.proxyAddress.empty();
    vx::Str host = proxied ? values.proxyAddress : service;
    int32_t port = proxied ? values.proxyPort : 80;
    Say("Web mail service: " + service + (proxied ? " through the proxy " + host + ":" + std::to_string(port) : ""));
    uint32_t address = 0;
    if (!vxw::sys::LookupHost(host, address)) throw StepFailed{"name resolution", "no address for " + host};
    Say("Name resolution: " + host + " - ok");
    try {
        vxw::Socket socket;
        socket.Open(port, host, vxw::ConfiguredTimeoutMs(), false);
    } catch (const vx::Exception& e) {
        Fail("connection", e);
    }
    Say("Connection: " + host + ":" + std::to_string(port) + " - ok");
}

// One request through the proxy without the account: an answer from the
// service (a refusal included) shows the proxy let it pass.
void PassProxy(const Config::Values& values, const vx::Str& service, const vx::Str& path) {
    if (values.proxyAddress.empty()) return;
    try {
        vxw::Http http;
        http.SetServer(80, false, service, values.proxyAddress, values.proxyPort, values.proxyUsername,
                       values.proxyPassword, vxw::ConfiguredTimeoutMs());
        http.SendRequest(path, "PROPFIND", nullptr, nullptr, nullptr, 5, false, true, vxw::Http::SinkChooser());
        if (http.GetStatusCode() == 407) throw vxw::HttpError("The proxy asks for a user name and password", 407);
    } catch (const vxw::HttpError& e) {
        if (e.Code() == 407)
            throw StepFailed{"proxy authentication",
                             values.proxyUsername.empty()
                                 ? "the proxy asks for a user name and password; ProxyUsername is not set"
                                 : "the proxy refused ProxyUsername " + values.proxyUsername + " and its password"};
        if (e.Code() < 400 || e.Code() > 499) Fail("proxy authentication", e);
    } catch (const vx::Exception& e) {
        Fail("proxy authentication", e);
    }
    Say("Proxy authentication: " + vx::Str(values.proxyUsername.empty() ? "none asked" : "ok"));
}

void LogIn(WebmailAccount& account, const vx::Str& name, const vx::Str& password) {
    bool taken = false;
    try {
        taken = account.Login(name, password);
    } catch (const vx::Exception& e) {
        Fail("login", e);
    }
    if (!taken) throw StepFailed{"credentials", "the service refused the account name or password of " + name};
    Say("Login: " + name + " - ok");
}

void ListEveryFolder(WebmailAccount& account) {
    try {
        std::vector<WebmailFolder> folders;
        account.ListFolders(folders);
        Say("Folders:");
        for (const WebmailFolder& folder : folders) {
            std::vector<ListedMessage> messages;
            account.ListFolder(folder.url, messages);
            Say("  " + folder.displayName + ": " + std::to_string(messages.size()) +
                (messages.size() == 1 ? " message" : " messages"));
        }
    } catch (const vx::Exception& e) {
        Fail("listing", e);
    }
}

}  // namespace

int RunCheck(const Options& options, const vx::Str& settingsFile) {
    vx::Str name = options.account.empty() ? Ask("Account: ", false) : options.account;
    if (name.empty()) {
        std::fprintf(stderr, "mirelink: --check needs an account\n");
        return 2;
    }
    vx::Str password = Ask(("Password for " + name + ": ").c_str(), true);
    try {
        Say("Settings: " + settingsFile);
        Config& config = Config::Instance();
        if (options.localMachine) config.UseLocalMachine();
        Config::Values values = config.GetValues();
        Endpoint service = EndpointOf(name);
        Reach(values, service.host);
        PassProxy(values, service.host, service.path);
        std::unique_ptr<WebmailAccount> account = MakeHotmail();
        LogIn(*account, name, password);
        ListEveryFolder(*account);
        account->Disconnect();
    } catch (const StepFailed& failed) {
        Say("Failed at " + failed.step + ": " + failed.why);
        return 1;
    } catch (const vx::Exception& e) {
        Say("Failed at the settings: " + e.Message());
        return 1;
    }
    Say("Everything worked");
    return 0;
}

}  // namespace app
