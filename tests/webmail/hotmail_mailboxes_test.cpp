// Hotmail's changes to the account's folders, against a scripted service:
// the exact WebDAV requests (PUT, MKCOL, MOVE, DELETE), the names they carry,
// and which answers count as done. A status that is no whole success is the
// service's refusal, with its status.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/webmail/hotmail_fixture.h"

namespace {

using namespace testing_support;

struct Outcome {
    std::string request;  // request line and the headers that matter
    std::string result;   // what the call returned, or "refused NNN"
};

void Settings(int port) {
    Config::Values values;
    values.proxyAddress = "127.0.0.1";
    values.proxyPort = port;
    values.timeout = 5;
    Config::Instance().SetValues(values);
}

// One operation after the login, answered with answer.
Outcome RunAgainst(const std::string& answer,
                   const std::function<std::string(Hotmail&)>& operation) {
    ScriptedServer server({{{LoginAnswer()}}, {{answer}}, {{Sized("200 OK", "message")}}});
    Hotmail hotmail;
    Settings(server.Port());
    EXPECT_TRUE(hotmail.Login("alice", "secret"));
    Outcome outcome;
    try {
        outcome.result = operation(hotmail);
    } catch (const ServiceRefusal& refusal) {
        outcome.result = "refused " + std::to_string(refusal.Status());
    }
    // Later requests of the session carry none of the operation's own headers.
    hotmail.GetMessage("http://h/inbox/1");
    auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 3u);
    if (requests.size() < 3) return outcome;
    const std::string& sent = requests[1];
    outcome.request = RequestLine(sent);
    // Every request says text/xml but the message a PUT sends.
    for (const char* header : {"Destination", "Overwrite", "Content-type", "If-None-Match"})
        if (HeaderOf(sent, header) != "<none>" && HeaderOf(sent, header) != "text/xml")
            outcome.request += std::string(" | ") + header + ": " + HeaderOf(sent, header);
    if (!BodyOf(sent).empty()) outcome.request += " | " + BodyOf(sent);
    for (const char* header : {"Destination", "Overwrite", "If-None-Match"})
        EXPECT_EQ(HeaderOf(requests[2], header), "<none>") << header;
    EXPECT_EQ(HeaderOf(requests[2], "Content-type"), "text/xml");
    return outcome;
}

TEST(HotmailMailboxes, RequestsAndTheAnswersThatCountAsDone) {
    auto put = [](Hotmail& h) {
        vxw::PartsSource text({"Subject: x\r\n", "\r\nhi\r\n"});
        return h.PutMessage("http://h/folders/Work/new.eml", text);
    };
    auto make = [](Hotmail& h) {
        h.MakeFolder("Work/Plans 2024 \xc3\xa9t\xc3\xa9");
        return std::string("made");
    };
    auto rename = [](Hotmail& h) {
        h.RenameFolder("http://h/folders/Work/", "Job/Old");
        return std::string("moved");
    };
    auto remove = [](Hotmail& h) {
        h.DeleteFolder("http://h/folders/Work/");
        return std::string("deleted");
    };
    const std::string putLine =
        "PUT http://h:80/folders/Work/new.eml HTTP/1.1 | Content-type: message/rfc822 | "
        "If-None-Match: * | Subject: x\r\n\r\nhi\r\n";
    const std::string mkcolLine = "MKCOL http://h:80/Work%2FPlans%202024%20%C3%A9t%C3%A9/ HTTP/1.1";
    const std::string moveLine =
        "MOVE http://h:80/folders/Work/ HTTP/1.1 | Destination: http://h/Job%2FOld/ | Overwrite: F";
    const std::string deleteLine = "DELETE http://h:80/folders/Work/ HTTP/1.1";
    const struct {
        std::function<std::string(Hotmail&)> operation;
        std::string answer;
        Outcome expected;
    } cases[] = {
        {put,
         Sized("201 Created", "", "Location: http://h/folders/Work/n2.eml\r\n"),
         {putLine, "http://h/folders/Work/n2.eml"}},
        {put,
         Sized("201 Created", "", "Location: /folders/Work/n3.eml\r\n"),
         {putLine, "http://h/folders/Work/n3.eml"}},
        {put, Sized("204 No Content", ""), {putLine, "http://h/folders/Work/new.eml"}},
        {put, Sized("405 Method Not Allowed", ""), {putLine, "refused 405"}},
        {put, Sized("412 Precondition Failed", ""), {putLine, "refused 412"}},
        {put, Sized("207 Multi-Status", "<x/>"), {putLine, "refused 207"}},
        {make, Sized("201 Created", ""), {mkcolLine, "made"}},
        {make, Sized("405 Method Not Allowed", ""), {mkcolLine, "refused 405"}},
        {make, Sized("403 Forbidden", ""), {mkcolLine, "refused 403"}},
        {rename, Sized("201 Created", ""), {moveLine, "moved"}},
        {rename, Sized("204 No Content", ""), {moveLine, "moved"}},
        {rename, Sized("412 Precondition Failed", ""), {moveLine, "refused 412"}},
        {rename, Sized("207 Multi-Status", "<x/>"), {moveLine, "refused 207"}},
        {remove, Sized("204 No Content", ""), {deleteLine, "deleted"}},
        {remove, Sized("207 Multi-Status", "<x/>"), {deleteLine, "refused 207"}},
        {remove, Sized("501 Not Implemented", ""), {deleteLine, "refused 501"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Outcome outcome = RunAgainst(c.answer, c.operation);
        EXPECT_EQ(outcome.request, c.expected.request);
        EXPECT_EQ(outcome.result, c.expected.result);
    }
}

TEST(HotmailMailboxes, NewMessageUrlsAreFreshNamesInTheFolder) {
    std::string first = NewMessageUrl("http://h/folders/Work/");
    std::string second = NewMessageUrl("http://h/folders/Work");
    EXPECT_EQ(first.rfind("http://h/folders/Work/mirelink-", 0), 0u) << first;
    EXPECT_EQ(second.rfind("http://h/folders/Work/mirelink-", 0), 0u) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(first.size() - 4), ".eml");
    EXPECT_EQ(first.find_first_of(" %?#", 8), std::string::npos);
}

}  // namespace
