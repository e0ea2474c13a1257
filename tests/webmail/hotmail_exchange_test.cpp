// Hotmail against a scripted service reached through the proxy settings: the
// exact requests, and what the client makes of answers the real service
// rarely gives (missing folder locations, odd statuses, endless refreshes).
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/webmail/hotmail_fixture.h"
#include "text/base64.h"
#include "webmail/request_bodies.h"

namespace {

using namespace testing_support;

TEST_F(HotmailExchange, LoginAsksTheEndpointOfTheAccountWithTheNameInLowerCase) {
    struct Case {
        const char* user;
        const std::string& uri;
        const char* host;
    } cases[] = {
        {"Someone@Example.com", kGatewayUri, "services.msn.com"},
        {"Bob@Msn.com", kMsnDataUri, "oe.msn.msnmail.hotmail.com"},
        {"BOB@MSN.COM", kMsnDataUri, "oe.msn.msnmail.hotmail.com"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        ScriptedServer server({{{Sized("401 Unauthorized", "", kBasicChallenge)}},
                               {{LoginAnswer()}},
                               {{Sized("200 OK", "message")}}});
        Settings(server.Port());
        Hotmail hotmail;
        EXPECT_TRUE(hotmail.Login(c.user, "Pass Word"));
        // After Disconnect the next request opens a new connection.
        hotmail.Disconnect();
        EXPECT_EQ(hotmail.GetMessage("http://h/inbox/1"), "message");
        EXPECT_EQ(server.Connections(), 2);

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        const vx::Str& body = request_bodies::Login();
        // Nothing to answer a challenge with yet: the body waits for the go-ahead.
        EXPECT_EQ(requests[0],
                  "PROPFIND " + c.uri +
                      " HTTP/1.1\r\nAllow-rename: t\r\nBrief: t\r\nCache-control: no-cache\r\n"
                      "Connection: Keep-Alive\r\nContent-Length: " +
                      std::to_string(body.size()) +
                      "\r\nContent-type: text/xml\r\nDepth: 0\r\nExpect: 100-continue\r\nHost: " +
                      c.host +
                      "\r\nUser-Agent: Outlook-Express/6.0 (MSIE 6.0; Windows NT 5.1; .NET CLR "
                      "1.0.3705; TmstmpExt)\r\n\r\n" +
                      body);
        std::string lower = c.user;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
        EXPECT_EQ(HeaderOf(requests[1], "Authorization"),
                  "Basic " + vx::EncodeBase64(lower + ":Pass Word"));
        // A GET carries no Depth and a Content-Length of 0.
        EXPECT_EQ(RequestLine(requests[2]), "GET http://h:80/inbox/1 HTTP/1.1");
        EXPECT_EQ(HeaderOf(requests[2], "Depth"), "<none>");
        EXPECT_EQ(HeaderOf(requests[2], "Content-Length"), "0");
    }
    EXPECT_TRUE(window.balloons.empty());
}

// Only the service's refusal of the credentials is a refused login; every
// other outcome is raised, for the session to report as a temporary failure.
TEST_F(HotmailExchange, LoginOutcomes) {
    const std::string refused = Sized("401 Unauthorized", "", kBasicChallenge);
    const std::string noFolders = LoginAnswer("", "http://h/trash/");
    const std::string busy =
        Sized("503 Service Unavailable",
              "<html>\r\n<head><title>503</title></head>\r\n<body>\r\n<h1>Busy</h1>\r\n"
              "<p>Try   later.</p>\r\n</body>\r\n</html>\r\n");
    const std::string serverError = "Error logging in to Hotmail - Internal Server Error";
    struct Case {
        const char* name;
        std::vector<std::string> answers;
        bool extraLogging;
        enum { Accepted, Refused, Raised } outcome;
        std::string logged;
        std::string balloon;  // "" for none
    } cases[] = {
        {"a missing location",
         {noFolders},
         false,
         Case::Raised,
         "\t-\tError logging in to Hotmail - Hotmail::Login - Error getting folder locations - "
         "HTTP/1.1 207 Multi-Status - x http://h/inbox/ http://h/ http://h/trash/" +
             std::string(kLogLineEnd),
         "Error logging in to Hotmail - Hotmail::Login - Error getting folder locations - "
         "HTTP/1.1 207 Multi-Status - x http://h/inbox/ http://h/ http://h/trash/"},
        {"refused credentials",
         {refused, refused},
         false,
         Case::Refused,
         "\t-\tError logging in to Hotmail - Unauthorized" + std::string(kLogLineEnd),
         ""},
        {"refused credentials, extra logging",
         {refused, refused},
         true,
         Case::Refused,
         "\t-\tHotmail::Login::catch::vx::HttpError - Http::SendRequest::Unauthorized - "
         "Unauthorized to access resource - services.msn.com/svcs/hotmail/httpmail.asp (401) - " +
             std::string(kLogLineEnd),
         ""},
        {"an account the service bars",
         {refused, Sized("403 Forbidden", "barred")},
         false,
         Case::Refused,
         "\t-\tHotmail::Login - The service refused the account - HTTP/1.1 403 Forbidden - barred" +
             std::string(kLogLineEnd),
         ""},
        {"a 403 before any credentials went out",
         {Sized("403 Forbidden", "not here")},
         false,
         Case::Raised,
         "\t-\tError logging in to Hotmail - Forbidden" + std::string(kLogLineEnd),
         "Error logging in to Hotmail - Forbidden"},
        // One line of the page's words, however it is laid out.
        {"a busy service, twice",
         {busy, busy},
         true,
         Case::Raised,
         "\t-\tHotmail::Login::catch::vx - Hotmail::Login::Status - The service answered the login "
         "with HTTP/1.1 503 Service Unavailable - 503 Busy Try later. - HTTP/1.1 503 Service "
         "Unavailable - 503 Busy Try later." +
             std::string(kLogLineEnd),
         ""},
        {"a server error without XML",
         {Sized("500 Internal Server Error", "")},
         false,
         Case::Raised,
         "\t-\t" + serverError + kLogLineEnd,
         serverError},
        {"a server error, extra logging",
         {Sized("500 Internal Server Error", "oops")},
         true,
         Case::Raised,
         "\t-\tHotmail::Login::catch::vx - ",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptedServer::Step> steps;
        for (const std::string& answer : c.answers) steps.push_back({{answer}});
        ScriptedServer server(steps);
        Settings(server.Port(), c.extraLogging);
        window.balloons.clear();
        LogWatch watch;
        Hotmail hotmail;
        bool raised = false, accepted = false;
        try {
            accepted = hotmail.Login("alice", "secret");
        } catch (const vx::Exception& e) {
            raised = true;
            EXPECT_EQ(e.Code(), 0);
        }
        EXPECT_EQ(raised, c.outcome == Case::Raised);
        EXPECT_EQ(accepted, c.outcome == Case::Accepted);
        EXPECT_NE(watch.NewText().find(c.logged), std::string::npos) << watch.NewText();
        EXPECT_EQ(window.balloons,
                  c.balloon.empty() ? std::vector<vx::Str>() : std::vector<vx::Str>{c.balloon});
    }
}

TEST_F(HotmailExchange, AnUnreachableServiceRaisesAndShowsTheBalloon) {
    int port = 0;
    {
        ScriptedServer closed({});
        port = closed.Port();
    }
    Settings(port);
    Hotmail hotmail;
    EXPECT_THROW(hotmail.Login("alice", "secret"), vxw::SocketError);
    EXPECT_NE(
        watch.NewText().find("\t-\tHotmail::MakeRequest::catch - PROPFIND " +
                             std::string("http://services.msn.com/svcs/hotmail/httpmail.asp")),
        std::string::npos);
    // The text says what failed: there was no answer with a reason to give.
    const std::string refused = "Error logging in to Hotmail - vxw::Socket::Open::";
    ASSERT_EQ(window.balloons.size(), 1u);
    EXPECT_EQ(window.balloons[0].rfind(refused, 0), 0u) << window.balloons[0];
    EXPECT_NE(window.balloons[0].find(" on port " + std::to_string(port) + " - "),
              std::string::npos);
    EXPECT_NE(watch.NewText().find("\t-\t" + window.balloons[0] + kLogLineEnd), std::string::npos);
}

// A user name or password reaches a request header; one that could break the
// header's line is refused as a wrong password is, before anything is sent.
TEST_F(HotmailExchange, CredentialsWithControlCharactersAreRefusedUnsent) {
    struct Case {
        std::string user, password;
    } cases[] = {
        {"carol@hotmail.com\nX-Injected: pop3", "secret"},
        {"carol@hotmail.com\r\nX-Injected: smtp", "secret"},
        {"carol\t@hotmail.com", "secret"},
        {"carol@hotmail.com", "sec\x01ret"},
        {"carol@hotmail.com", "secret\x7f"},
        {"carol@hotmail.com", std::string("sec\0ret", 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user + " " + c.password);
        ScriptedServer server({{{LoginAnswer()}}});
        Settings(server.Port());
        LogWatch watch;
        Hotmail hotmail;
        EXPECT_FALSE(hotmail.Login(c.user, c.password));
        EXPECT_TRUE(server.Requests().empty());
        EXPECT_NE(watch.NewText().find("\t-\tHotmail::Login - The account name or password holds a "
                                       "control character" +
                                       std::string(kLogLineEnd)),
                  std::string::npos);
    }
    // A quote and a backslash are fine: quoted in a Digest answer.
    ScriptedServer server(
        {{{Sized("401 Unauthorized", "",
                 "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\", qop=\"auth\"\r\n")}},
         {{LoginAnswer()}}});
    Settings(server.Port());
    Hotmail hotmail;
    EXPECT_TRUE(hotmail.Login("c\"a\\rol@hotmail.com", "secret"));
    EXPECT_EQ(HeaderOf(server.Requests()[1], "Authorization")
                  .rfind("Digest username=\"c\\\"a\\\\rol@hotmail.com\", ", 0),
              0u);
}

// An error page parses as a listing without entries: the mail client would
// be told there is no mail. It fails the session instead, and says why.
TEST_F(HotmailExchange, AListingAnsweredOutside2xxFails) {
    struct Case {
        std::vector<std::string> answers;
        bool otherFolders;
        std::string error;
        std::string logged;
    } cases[] = {
        {{Sized("404 Not Found", "<html>no</html>")},
         false,
         "Hotmail::AppendList::Status - Error listing messages - 404 - http://h/inbox/",
         "Hotmail::AppendList::catch::vx - "},
        {{Sized("500 Internal Server Error", Multistatus(""))},
         false,
         "Hotmail::AppendList::Status - Error listing messages - 500 - http://h/inbox/",
         "Hotmail::AppendList::catch::vx - "},
        {{Sized("500 Internal Server Error", Multistatus(""))},
         true,
         "Hotmail::GetOtherFolderUrls::Status - Error listing folders - 500 - http://h/",
         "Hotmail::GetOtherFolderUrls::catch::vx - "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        std::vector<ScriptedServer::Step> steps{{{LoginAnswer()}}};
        for (const std::string& answer : c.answers) steps.push_back({{answer}});
        ScriptedServer server(steps);
        Settings(server.Port(), false, c.otherFolders);
        LogWatch watch;
        Hotmail hotmail;
        try {
            MessageList list;
            if (hotmail.Login("alice", "secret")) hotmail.GetMessageList(list);
            FAIL();
        } catch (const vx::Exception& e) {
            EXPECT_EQ(e.Message(), c.error);
        }
        EXPECT_NE(watch.NewText().find("\t-\t" + c.logged + c.error + kLogLineEnd),
                  std::string::npos)
            << watch.NewText();
    }
}

// A service URL that says https is reached with TLS: through the proxy's
// tunnel, to port 443 unless it names another.
TEST_F(HotmailExchange, HttpsUrlsOfTheServiceAreReachedWithTls) {
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    ScriptedServer proxy({{{LoginAnswer()}},
                          {{established}, After::StartTls},
                          {{Sized("200 OK", "From: secure\r\n\r\nhi")}},
                          {{Sized("201 Created", "")}, After::Close},
                          {{established}, After::StartTls},
                          {{Sized("201 Created", "")}}});
    Hotmail hotmail;
    LogIn(hotmail, proxy);
    EXPECT_EQ(hotmail.GetMessage("https://h/inbox/1"), "From: secure\r\n\r\nhi");
    hotmail.SendMessageToTrash("HTTPS://h/inbox/1");
    hotmail.SendMessageToTrash("https://h:8443/inbox/2");
    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(RequestLine(requests[1]), "CONNECT h:443 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[2]), "GET /inbox/1 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[3]), "MOVE /inbox/1 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[4]), "CONNECT h:8443 HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[5]), "MOVE /inbox/2 HTTP/1.1");
}

// The largest answers the client keeps whole are listings; a large mailbox
// stays well within what may be held.
TEST_F(HotmailExchange, AListingOfAHundredThousandMessagesIsRead) {
    std::string responses;
    for (int i = 0; i < 100000; ++i)
        responses += "<D:response><D:href>http://h/inbox/" + std::to_string(i) +
                     "</D:href><D:propstat><D:prop><D:getcontentlength>" +
                     std::to_string(1000 + i) +
                     "</D:getcontentlength></D:prop></D:propstat></D:response>";
    ScriptedServer server({{{LoginAnswer()}}, {{Answer207(responses)}}});
    Hotmail hotmail;
    LogIn(hotmail, server);
    MessageList list;
    hotmail.GetMessageList(list);
    ASSERT_EQ(list.size(), 100000u);
    EXPECT_EQ(list.back().href, "http://h/inbox/99999");
    EXPECT_EQ(list.back().size, 100999);
}

// A subject is the sender's text: in a listing it must never pass for the
// service's wait page and send the account's credentials where it points.
TEST_F(HotmailExchange, AListingIsNeverTakenForARefreshPage) {
    const std::string subject =
        "&lt;meta HTTP-EQUIV=\"REFRESH\" content='0; URL=\"http://elsewhere/x\"'&gt;";
    ScriptedServer server(
        {{{LoginAnswer()}},
         {{Answer207("<D:response><D:href>http://h/inbox/1</D:href><D:propstat><D:prop>"
                     "<D:getcontentlength>5</D:getcontentlength><m:subject>" +
                     subject + "</m:subject></D:prop></D:propstat></D:response>")}}});
    Hotmail hotmail;
    LogIn(hotmail, server);
    std::vector<ListedMessage> listed;
    hotmail.ListFolder("http://h/inbox/", listed);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].subject,
              "<meta HTTP-EQUIV=\"REFRESH\" content='0; URL=\"http://elsewhere/x\"'>");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(HotmailExchange, RefreshPagesAreFollowedWithTheSameRequestWithinABound) {
    std::vector<ScriptedServer::Step> steps = {{{LoginAnswer()}}};
    for (int i = 1; i <= Hotmail::kMaxRefreshFollowUps; ++i)
        steps.push_back({{RefreshPage("http://h/wait" + std::to_string(i))}});
    steps.push_back({{Sized("201 Created", "")}});
    for (int i = 0; i <= Hotmail::kMaxRefreshFollowUps; ++i)
        steps.push_back({{RefreshPage("http://h/again")}});
    ScriptedServer server(steps);
    Hotmail hotmail;
    LogIn(hotmail, server);

    hotmail.SendMessageToTrash("http://h/inbox/m1");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(RequestLine(requests[6]), "MOVE http://h:80/wait5 HTTP/1.1");
    EXPECT_EQ(HeaderOf(requests[6], "Destination"), "http://h/trash/m1");

    LogWatch watch;
    try {
        hotmail.GetMessage("http://h/inbox/m1");
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Hotmail::MakeRequest::Refresh - Too many refresh follow-ups - http://h/again");
    }
    EXPECT_EQ(server.Requests().size(), 7u + 6u);
    std::string logged = watch.NewText();
    EXPECT_NE(logged.find("\t-\tHotmail::MakeRequest::catch - GET http://h/again" +
                          std::string(kLogLineEnd)),
              std::string::npos);
    EXPECT_NE(logged.find("\t-\tHotmail::MakeRequest::catch - GET http://h/inbox/m1" +
                          std::string(kLogLineEnd)),
              std::string::npos);
    EXPECT_NE(logged.find("\t-\tHotmail::GetMessage::catch::vx - Hotmail::MakeRequest::Refresh - "
                          "Too many refresh follow-ups - http://h/again" +
                          std::string(kLogLineEnd)),
              std::string::npos);
}

// What reaches the mail client as a message must be one: anything else ends
// the download with an error, so the client cannot delete the original on
// the word of an error page or half a message.
// A failure once the message began to reach the sink is still an exception:
// the mail client must not see a cut message end as if whole.
TEST_F(HotmailExchange, AFailedDownloadIsNoMessage) {
    struct Case {
        ScriptedServer::Step answer;
        std::string error;
        std::vector<std::string> received;
        std::string caught = "vx";
    } cases[] = {
        {{{Sized("404 Not Found", "<html>gone</html>")}},
         "Hotmail::GetMessage::Status - Error getting message - 404 - http://h/inbox/1",
         {}},
        {{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nFrom: a"}, After::Close},
         "Hotmail::MakeRequest::Answer - The answer ended early - 7 of 100 bytes - "
         "http://h/inbox/1",
         {"<begin>", "From: a"}},
        {{{}, After::Close},
         "Hotmail::MakeRequest::Answer - No answer from the service - http://h/inbox/1",
         {}},
        {{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7\r\nFrom: a\r\n", "zz\r\n"}},
         "Http::ReadChunk::Size - The chunk size cannot be read - h",
         {"<begin>", "From: a"},
         "vx::HttpError"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ScriptedServer server({{{LoginAnswer()}}, c.answer});
        Hotmail hotmail;
        LogIn(hotmail, server);
        LogWatch watch;
        RecordingSink sink;
        try {
            hotmail.GetMessage("http://h/inbox/1", sink);
            FAIL();
        } catch (const vx::Exception& e) {
            EXPECT_EQ(e.Message(), c.error);
        }
        EXPECT_EQ(sink.events, c.received);
        EXPECT_NE(watch.NewText().find("\t-\tHotmail::GetMessage::catch::" + c.caught + " - " +
                                       c.error + kLogLineEnd),
                  std::string::npos);
    }
}

TEST_F(HotmailExchange, OnlyA201MovesToTheTrash) {
    struct Case {
        std::string trash;
        std::string message;
        std::string answer;
        std::string destination;
        bool moved;
    } cases[] = {
        {"http://h/trash/", "http://h/inbox/m1", Sized("201 Created", ""), "http://h/trash/m1",
         true},
        {"http://h/trash", "http://h/inbox/m1", Sized("201 Created", ""), "http://h/trash/m1",
         true},
        {"http://h/trash", "http://h/inbox/", Sized("201 Created", ""), "http://h/trash/", true},
        {"http://h/trash/", "http://h/inbox/m1", Sized("204 No Content", ""), "http://h/trash/m1",
         false},
        {"http://h/trash/", "http://h/inbox/m1", Sized("207 Multi-Status", "<x/>"),
         "http://h/trash/m1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trash + " " + c.message + " " + c.answer);
        ScriptedServer server({{{LoginAnswer("http://h/sendmsg", c.trash)}}, {{c.answer}}});
        Hotmail hotmail;
        LogIn(hotmail, server);
        LogWatch watch;
        bool moved = true;
        try {
            hotmail.SendMessageToTrash(c.message);
        } catch (const vx::Exception& e) {
            moved = false;
            std::string status = c.answer.substr(9, 3);
            // The answer in one line: its status line and its body's words.
            std::string head = HeadOf(c.answer), body = BodyOf(c.answer);
            EXPECT_EQ(e.Message(), "Hotmail::SendMessageToTrash::Response - Error moving message - " +
                                       status + " - " + head.substr(0, head.find('\r')) +
                                       (body == "<x/>" ? "" : body));
            EXPECT_NE(watch.NewText().find("\t-\tHotmail::SendMessageToTrash::catch::vx - " +
                                           e.Message() + kLogLineEnd),
                      std::string::npos);
        }
        EXPECT_EQ(moved, c.moved);
        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(RequestLine(requests[1]),
                  "MOVE " + c.message.substr(0, 8) + ":80" + c.message.substr(8) + " HTTP/1.1");
        EXPECT_EQ(HeaderOf(requests[1], "Destination"), c.destination);
        EXPECT_EQ(HeaderOf(requests[1], "Allow-rename"), "t");
    }
}

TEST_F(HotmailExchange, SendMailPostsTheEnvelopeAndTakesAny2xx) {
    for (const char* status : {"200 OK", "299 Fine", "400 Bad Request", "500 Server Error"}) {
        SCOPED_TRACE(status);
        ScriptedServer server(
            {{{LoginAnswer()}}, {{Sized(status, "done")}}, {{Sized("200 OK", "message")}}});
        Hotmail hotmail;
        LogIn(hotmail, server);
        bool accepted = true;
        try {
            vxw::PartsSource text({"Subject: x\r\n", "\r\nhi\r\n"});
            hotmail.SendMail("Alice <a@example.com>", {"b@example.com", "c@example.com"}, text);
        } catch (const ServiceRefusal& e) {
            EXPECT_EQ(e.Status(), std::stoi(std::string(status, 3)));
            accepted = false;
            EXPECT_EQ(e.Message(),
                      "Hotmail::SendMail::Code - Error sending message - Alice "
                      "<a@example.com> - " +
                          std::string(status, 3) + " - HTTP/1.1 " + status + " - done");
        }
        EXPECT_EQ(accepted, status[0] == '2');
        hotmail.GetMessage("http://h/inbox/1");

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(RequestLine(requests[1]), "POST http://h:80/sendmsg HTTP/1.1");
        EXPECT_EQ(HeaderOf(requests[1], "Content-type"), "message/rfc821");
        EXPECT_EQ(BodyOf(requests[1]),
                  "MAIL FROM:<a@example.com>\r\nRCPT TO:<b@example.com>\r\nRCPT "
                  "TO:<c@example.com>\r\n\r\nSubject: x\r\n\r\nhi\r\n");
        EXPECT_EQ(HeaderOf(requests[2], "Content-type"), "text/xml");
    }
}

TEST_F(HotmailExchange, OtherFoldersAreListedInByteOrderOfTheirKeys) {
    auto folder = [](const std::string& href, const std::string& isFolder,
                     const std::string& special, const std::string& name) {
        return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + isFolder +
               "<hm:special>" + special + "</hm:special><D:displayname>" + name +
               "</D:displayname></D:prop></D:propstat></D:response>";
    };
    const std::string yes = "<D:isfolder>1</D:isfolder>";
    std::string root =
        folder("http://h/inbox/", yes, "inbox", "Inbox") +
        folder("http://h/trash/", yes, "deleteditems", "Deleted") +
        folder("http://h/junk/", yes, "bulkmail", "Junk") +
        folder("http://h/sent/", yes, "sentitems", "Sent") +
        folder("http://h/promo/", yes, "msnpromo", "Offers") +
        folder("http://h/work/", yes, "", "Work") + folder("http://h/two/", yes, "", "Two\nLines") +
        folder("http://h/recus/", yes, "", "Re\xC3\xA7us") +
        folder("http://h/ghost/", "<D:isfolder>0</D:isfolder>", "", "Ghost") +
        folder("http://h/nothing/", "", "", "Nothing") + folder("http://h/nameless/", yes, "", "");
    auto message = [](const std::string& href, const std::string& size) {
        return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + size +
               "</D:prop></D:propstat></D:response>";
    };
    ScriptedServer server({
        {{LoginAnswer()}},
        {{Answer207(root)}},
        {{Answer207(message("http://h/recus/1", "<D:getcontentlength>12</D:getcontentlength>"))}},
        {{Answer207("")}},
        {{Answer207(message("http://h/work/1", "<D:getcontentlength>30</D:getcontentlength>") +
                    message("http://h/work/sub/", "<D:isfolder>1</D:isfolder>") +
                    message("http://h/work/2", "<D:getcontentlength>40</D:getcontentlength>"))}},
        {{Answer207(message("http://h/junk/1", "<D:getcontentlength>5</D:getcontentlength>"))}},
        {{Answer207(message("http://h/inbox/1", "<D:getcontentlength>7</D:getcontentlength>"))}},
        {{Answer207(message("http://h/sent/1", "<D:getcontentlength>9</D:getcontentlength>"))}},
    });
    Hotmail hotmail;
    LogIn(hotmail, server, true);
    MessageList list = {MessageEntry{"stale", 1, true, "x"}};
    hotmail.GetMessageList(list);

    const std::string recus = "=?iso-8859-1?B?UmXndXM=?=";
    std::vector<std::string> seen;
    for (const MessageEntry& entry : list)
        seen.push_back(entry.folder + " " + entry.href + " " + std::to_string(entry.size) +
                       (entry.deleted ? " deleted" : ""));
    EXPECT_EQ(seen,
              (std::vector<std::string>{recus + " http://h/recus/1 12", "Work http://h/work/1 30",
                                        "Work http://h/work/sub/ 0", "Work http://h/work/2 40",
                                        "bulk http://h/junk/1 5", "inbox http://h/inbox/1 7",
                                        "sent http://h/sent/1 9"}));

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(RequestLine(requests[1]), "PROPFIND http://h:80/ HTTP/1.1");
    EXPECT_EQ(HeaderOf(requests[1], "Depth"), "1,noroot");
    EXPECT_EQ(BodyOf(requests[1]), request_bodies::FolderQuery());
    EXPECT_EQ(RequestLine(requests[3]), "PROPFIND http://h:80/two/ HTTP/1.1");  // "Two Lines"
    EXPECT_EQ(HeaderOf(requests[3], "Depth"), "1,noroot");
    EXPECT_EQ(BodyOf(requests[3]), request_bodies::ListQuery());
}

}  // namespace
