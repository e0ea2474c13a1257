#pragma once
// A running ImapServer on an ephemeral loopback port, serving the accounts
// of an in-memory web mail service, with its state in a fresh folder; and a
// client that sends commands and reads whole responses, literals included.
#include <memory>
#include <string>
#include <vector>

#include "imap/imap_server.h"
#include "tests/support/line_client.h"
#include "tests/support/service_fixture.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// The server a ServiceFixture makes, with the options a test chose.
class TestImapServer : public ImapServer {
public:
    static Options& TestOptions() {
        static Options options;
        return options;
    }
    explicit TestImapServer(AccountFactory makeAccount)
        : ImapServer(std::move(makeAccount), TestOptions()) {}
};

class ImapClient {
public:
    explicit ImapClient(int port) : line(port, 10000) {}

    std::string Greeting() { return line.ReadLine(); }
    // Sends "T " + command and returns every response up to and including
    // the tagged one, with the UIDVALIDITY and INTERNALDATE values (which
    // depend on the clock) shown as "V" and "D".
    std::string Run(const std::string& command) {
        line.Send("T " + command + "\r\n");
        return Normalize(ReadResponse("T"));
    }
    // The same as they came.
    std::string RunRaw(const std::string& command) {
        line.Send("T " + command + "\r\n");
        return ReadResponse("T");
    }
    // The responses up to and including the line that starts with tag and a
    // blank, literals read whole.
    std::string ReadResponse(const std::string& tag) {
        std::string all;
        for (;;) {
            std::string next = ReadWithLiterals();
            all += next;
            if (next.compare(0, tag.size() + 1, tag + " ") == 0) return all;
        }
    }
    // One response line with the literals it announces.
    std::string ReadWithLiterals() {
        std::string text = line.ReadLine();
        for (size_t size = 0; LiteralAtEnd(text, size);) {
            text += line.ReadExactly(size);
            text += line.ReadLine();
        }
        return text;
    }
    void Send(const std::string& bytes) { line.Send(bytes); }
    std::string ReadLine() { return line.ReadLine(); }
    bool ClosedByServer() { return line.ClosedByServer(); }
    LineClient& Line() { return line; }

    static std::string Normalize(std::string text) {
        ReplaceValues(text, "UIDVALIDITY ", "0123456789", "V");
        ReplaceValues(text, "COPYUID ", "0123456789", "V");
        ReplaceValues(text, "APPENDUID ", "0123456789", "V");
        ReplaceValues(text, "INTERNALDATE \"", "", "D");
        return text;
    }

private:
    // A line that ends in "{n}" CR LF announces n bytes.
    static bool LiteralAtEnd(const std::string& text, size_t& size) {
        size_t open = text.rfind('{');
        if (text.size() < 5 || open == std::string::npos ||
            text.compare(text.size() - 3, 3, "}\r\n") != 0 || open + 1 >= text.size() - 3)
            return false;
        std::string digits = text.substr(open + 1, text.size() - 3 - open - 1);
        if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
        size = std::stoul(digits);
        return true;
    }
    // The value after each marker: the run of allowed characters (up to the
    // next quote when allowed is empty) becomes shown.
    static void ReplaceValues(std::string& text, const std::string& marker,
                              const std::string& allowed, const std::string& shown) {
        for (size_t at = text.find(marker); at != std::string::npos;
             at = text.find(marker, at + 1)) {
            size_t start = at + marker.size();
            size_t end =
                allowed.empty() ? text.find('"', start) : text.find_first_not_of(allowed, start);
            if (end == std::string::npos) end = text.size();
            text.replace(start, end - start, shown);
        }
    }

    LineClient line;
};

class ImapFixture : public ServiceFixture<TestImapServer, ActiveImapSessions> {
protected:
    static Config::Values TestSettings() {
        Config::Values values = FastServiceSettings();
        values.portImap = 0;
        return values;
    }
    void SetUp() override {
        Config::Instance().SetValues(TestSettings());
        ImapServer::Options& options = TestImapServer::TestOptions();
        options = ImapServer::Options();
        options.stateFolder = state.Path() + "/";
        options.idlePollMs = 200;
    }
    // A client that has read the greeting and logged in as user.
    std::unique_ptr<ImapClient> LoggedIn(const std::string& user = "alice",
                                         const std::string& password = "secret") {
        auto client = std::make_unique<ImapClient>(Port());
        client->Greeting();
        std::string answer = client->Run("LOGIN " + user + " \"" + password + "\"");
        EXPECT_NE(answer.find("T OK"), std::string::npos) << answer;
        return client;
    }

    TempDir state;
};

}  // namespace testing_support
