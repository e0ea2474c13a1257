#pragma once
// What the tests of Hotmail against a scripted service share: the service's
// answers, pieces of the requests, and a fixture whose client reaches the
// scripted server through the proxy settings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "settings/config.h"
#include "tests/http/http_fixture.h"
#include "tests/support/log_watch.h"
#include "webmail/hotmail.h"

namespace testing_support {

inline const std::string kGatewayUri = "http://services.msn.com:80/svcs/hotmail/httpmail.asp";
inline const std::string kMsnDataUri = "http://oe.msn.msnmail.hotmail.com:80/cgi-bin/hmdata";
inline const std::string kBasicChallenge = "WWW-Authenticate: Basic realm=\"hotmail.com\"\r\n";

inline std::string Multistatus(const std::string& responses) {
    return "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\" "
           "xmlns:hm=\"urn:schemas:httpmail:\">" +
           responses + "</D:multistatus>";
}

inline std::string Answer207(const std::string& responses) {
    return Sized("207 Multi-Status", Multistatus(responses));
}

// The login answer; an empty URL leaves its element out.
inline std::string LoginAnswer(const std::string& send = "http://h/sendmsg",
                               const std::string& trash = "http://h/trash/") {
    std::string props =
        "<hm:inbox>http://h/inbox/</hm:inbox><hm:msgfolderroot>http://h/"
        "</hm:msgfolderroot>";
    if (!send.empty()) props += "<hm:sendmsg>" + send + "</hm:sendmsg>";
    if (!trash.empty()) props += "<hm:deleteditems>" + trash + "</hm:deleteditems>";
    return Answer207("<D:response><D:href>x</D:href><D:propstat><D:prop>" + props +
                     "</D:prop></D:propstat></D:response>");
}

inline std::string RefreshPage(const std::string& url) {
    return Sized("200 OK", "<html><meta http-equiv=\"Refresh\" content='0; URL=\"" + url + "\"'>");
}

inline std::string HeaderOf(const std::string& request, const std::string& name) {
    size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<none>";
    at += name.size() + 4;
    return request.substr(at, request.find("\r\n", at) - at);
}

inline std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

// Of a request or an answer: the head with the CR LF of its last line; the body.
inline std::string HeadOf(const std::string& message) {
    return message.substr(0, message.find("\r\n\r\n") + 2);
}
inline std::string BodyOf(const std::string& message) {
    return message.substr(message.find("\r\n\r\n") + 4);
}

// What reaches a download's sink, in order: "<begin>", then each piece.
struct RecordingSink : MessageSink {
    explicit RecordingSink(size_t enough = SIZE_MAX) : enough(enough) {}
    void Begin() override { events.push_back("<begin>"); }
    bool Put(const char* data, size_t size) override {
        events.emplace_back(data, size);
        text.append(data, size);
        return text.size() < enough;
    }
    bool Began() const { return !events.empty() && events[0] == "<begin>"; }
    size_t enough;  // bytes after which it wants no more
    std::vector<std::string> events;
    std::string text;
};

class BalloonWindow : public MainWindowEvents {
public:
    void OnSessionStarted() override {}
    void OnAllSessionsEnded() override {}
    void ShowLoginError(const vx::Str& text) override { balloons.push_back(text); }
    std::vector<vx::Str> balloons;
};

class HotmailExchange : public ::testing::Test {
protected:
    void SetUp() override { SetMainWindow(&window); }
    void TearDown() override { SetMainWindow(nullptr); }

    // The client's requests go to port as to a proxy.
    static void Settings(int port, bool extraLogging = false, bool otherFolders = false) {
        Config::Values values;
        values.proxyAddress = "127.0.0.1";
        values.proxyPort = port;
        values.timeout = 5;
        values.extraLogging = extraLogging;
        values.checkOtherFolders = values.checkBulkFolder = values.checkSentFolder = otherFolders;
        Config::Instance().SetValues(values);
    }
    // A client logged in on the first step of server.
    static void LogIn(Hotmail& hotmail, const ScriptedServer& server, bool otherFolders = false) {
        Settings(server.Port(), false, otherFolders);
        ASSERT_TRUE(hotmail.Login("alice", "secret"));
    }

    BalloonWindow window;
    LogWatch watch;
};

}  // namespace testing_support
