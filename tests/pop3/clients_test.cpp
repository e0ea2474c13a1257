// End-to-end: real POP3 clients against the listener and the in-memory service.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/file_util.h"
#include "tests/pop3/pop3_fixture.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::RunProcess;
using testing_support::TempDir;

const std::string kFirst = "From: a@example.com\r\nSubject: first\r\n\r\nHello\r\n.hidden dot\r\n";
const std::string kSecond =
    "From: b@example.com\r\nSubject: second\r\n\r\nline one\r\nline two\r\n";

class ClientsTest : public testing_support::Pop3Fixture {
protected:
    void SetUp() override {
        Pop3Fixture::SetUp();
        service.AddAccount("alice", "open sesame");
        hrefs.push_back(service.AddMessage("alice", "inbox", kFirst));
        hrefs.push_back(service.AddMessage("alice", "junk", kSecond));
        StartServer();
    }

    std::string Url(const std::string& path = "") const {
        return "pop3://127.0.0.1:" + std::to_string(Port()) + "/" + path;
    }

    // curl's output for one request; fails the test when curl fails.
    std::string Curl(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"curl", "-sS", "--max-time",
                                         "30",   "-u",  "alice:open sesame"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto result = RunProcess(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    std::vector<std::string> hrefs;
};

TEST_F(ClientsTest, CurlListsRetrievesAndDeletes) {
    EXPECT_EQ(Curl({Url()}), "1 85\r\n2 85\r\n");
    EXPECT_EQ(Curl({Url("1")}),
              "X-Mirelink-Folder: inbox\r\nFrom: a@example.com\r\nSubject: first\r\n\r\nHello\r\n"
              ".hidden dot\r\n\r\n");
    EXPECT_EQ(Curl({"-X", "UIDL", Url()}), "1 " + hrefs[0] + "\r\n2 " + hrefs[1] + "\r\n");
    EXPECT_EQ(Curl({"-X", "DELE", "-I", Url("2")}), "");
    EXPECT_EQ(service.Trashed(), std::vector<std::string>{hrefs[1]});
    EXPECT_EQ(Curl({Url()}), "1 85\r\n");
}

TEST_F(ClientsTest, PoplibSeesEveryAnswerExactly) {
    auto result =
        RunProcess({"python3", POP3_TEST_SCRIPTS "/poplib_client.py", std::to_string(Port())});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // retr and top end in b'': the empty line of the CR LF added before ".".
    EXPECT_EQ(
        result.out,
        "welcome b'+OK Ready when you are T@mirelink'\n"
        "user b'+OK Present'\n"
        "pass b'+OK You may enter'\n"
        "stat (2, 119)\n"
        "list (b'+OK Messages:', [b'1 85', b'2 85'], 12)\n"
        "uidl (b'+OK Messages:', [b'1 " +
            hrefs[0] + "', b'2 " + hrefs[1] +
            "'], 87)\n"
            "uidl 2 b'+OK 2 " +
            hrefs[1] +
            "'\n"
            "retr 1 (b'+OK Message follows', [b'X-Mirelink-Folder: inbox', b'From: a@example.com', "
            "b'Subject: first', b'', b'Hello', b'.hidden dot', b''], 87)\n"
            "top 2 1 (b'+OK Message follows', [b'X-Mirelink-Folder: junk', b'From: b@example.com', "
            "b'Subject: second', b'', b'line one', b''], 77)\n"
            "dele 1 b'+OK Message marked for deletion'\n"
            "list (b'+OK Messages:', [b'2 85'], 6)\n"
            "error b'-ERR Invalid message number'\n"
            "error b'-ERR Invalid message number'\n"
            "rset b'+OK'\n"
            "dele 2 b'+OK Message marked for deletion'\n"
            "noop b'+OK'\n"
            "quit b'+OK Bye bye...'\n");
    EXPECT_EQ(service.Trashed(), std::vector<std::string>{hrefs[1]});
}

TEST_F(ClientsTest, FetchmailDeliversEveryMessageAndDeletesAtQuit) {
    TempDir home;
    // sslproto '' : the local service speaks plain POP3 (fetchmail would
    // otherwise insist on STLS).
    std::string rc =
        "set no syslog\n"
        "poll 127.0.0.1 with proto POP3 port " +
        std::to_string(Port()) +
        " and options no dns\n"
        "  user \"alice\" there with password \"open sesame\" is \"me\" here\n"
        "  options fetchall nokeep sslproto ''\n"
        "  mda \"sh -c 'cat >> " +
        home.File("delivered") + "'\"\n";
    ASSERT_TRUE(SaveToFile(home.File("fetchmailrc"), rc));
    chmod(home.File("fetchmailrc").c_str(), 0600);
    auto result =
        RunProcess({"env", "HOME=" + home.Path(), "fetchmail", "-f", home.File("fetchmailrc")});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::string delivered;
    ASSERT_TRUE(LoadFile(home.File("delivered"), delivered));
    // fetchmail puts its own Received lines in front and hands lines to the
    // delivery program with LF endings.
    EXPECT_NE(delivered.find("X-Mirelink-Folder: inbox\nFrom: a@example.com\nSubject: "
                             "first\n\nHello\n.hidden dot\n\n"),
              std::string::npos)
        << delivered;
    EXPECT_NE(delivered.find("X-Mirelink-Folder: junk\nFrom: b@example.com\nSubject: "
                             "second\n\nline one\nline two\n\n"),
              std::string::npos)
        << delivered;
    EXPECT_EQ(service.Trashed(), hrefs);
}

}  // namespace
