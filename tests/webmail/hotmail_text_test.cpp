// The text functions of the web mail client: URL pieces, the bare address of
// an SMTP argument, and the meta refresh target of an answer.
#include <gtest/gtest.h>

#include <climits>

#include "core/exception.h"
#include "webmail/hotmail.h"

namespace {

TEST(HotmailUrl, HostPathAndPort) {
    struct Case {
        const char* url;
        const char* host;
        const char* path;
        int32_t port;
    } cases[] = {
        {"http://services.example.com/svcs/a.asp?x=1&y", "services.example.com",
         "/svcs/a.asp?x=1&y", -1},
        {"http://host:8080", "host", "", 8080},
        {"http://host:8080/mail/inbox/", "host", "/mail/inbox/", 8080},
        {"http://host/mail:81/x", "host", "/mail:81/x", -1},  // a colon in the path is no port
        {"http://host", "host", "", -1},
        {"//host/p", "host", "/p", -1},
        {"http://host:abc/", "host", "/", 0},  // leading digits only, as atoi reads them
        {"http://host:99999999999/", "host", "/", INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(Hotmail::GetUrlServerAddress(c.url), c.host);
        EXPECT_EQ(Hotmail::GetUrlPath(c.url), c.path);
        EXPECT_EQ(Hotmail::GetUrlPort(c.url), c.port);
    }
}

TEST(HotmailUrl, TextWithoutDoubleSlashIsNoUrl) {
    EXPECT_EQ(Hotmail::GetUrlPort("host:80/path"), -1);
    try {
        Hotmail::GetUrlServerAddress("host:80/path");
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Hotmail::GetUrlServerAddress::prefix - Error getting Hotmail server address: "
                  "host:80/path");
    }
    try {
        Hotmail::GetUrlPath("host:80/path");
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Hotmail::GetUrlPath::prefix - Error getting Hotmail server path: host:80/path");
    }
}

TEST(HotmailUrl, LastPathSegment) {
    EXPECT_EQ(Hotmail::GetLastPathSegment("http://h/mail/inbox/m12.eml"), "m12.eml");
    EXPECT_EQ(Hotmail::GetLastPathSegment("http://h/mail/inbox/"), "");
    EXPECT_EQ(Hotmail::GetLastPathSegment("no slash"), "");
}

TEST(HotmailAddress, BareAddressOfAnArgument) {
    struct Case {
        const char* argument;
        const char* address;
    } cases[] = {
        {"a@example.com", "a@example.com"},
        {"<a@example.com>", "<a@example.com>"},  // no blank: taken as it is, brackets and all
        {"Alice Smith <a@example.com>", "a@example.com"},
        {"a@example.com (Alice)", "a@example.com"},
        {"Alice Smith a@example.com and more", "a@example.com"},
        {"Alice Smith a@example.com", "a@example.com"},
        {"Alice Smith", "Alice Smith"},
        {"x >y< a@b", "a@b"},  // ">" before "<" is no bracket pair
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hotmail::ExtractAddress(c.argument), c.address) << c.argument;
}

TEST(HotmailRefresh, QuotedTargetOfAMetaRefreshInAPage) {
    struct Case {
        const char* page;
        bool found;
        const char* target;
    } cases[] = {
        {"<html><meta HTTP-EQUIV=\"REFRESH\" content='0; URL=\"http://h/next?a=1\"'></html>", true,
         "http://h/next?a=1"},
        {"\r\n <META http-equiv=\"Refresh\" CONTENT='5; url=\"http://h:81/x\"'>", true,
         "http://h:81/x"},
        {"<meta http-equiv=\"refresh\" content=\"0; URL=http://h/x\">", false, ""},
        {"<meta http-equiv=refresh content='0; URL=\"http://h/x\"'>", false, ""},
        {"<a href=x URL=\"http://h/x\"></a><meta http-equiv=\"refresh\">", false, ""},
        {"<meta http-equiv=\"refresh\" content='0; URL=\"http://h/x", false, ""},
        {"<html><body>Hello</body></html>", false, ""},
        {"", false, ""},
        // A message that carries such a page is a message, not a page to follow.
        {"From: a@example.com\r\nContent-Type: text/html\r\n\r\n"
         "<meta http-equiv=\"refresh\" content='0; URL=\"http://elsewhere/\"'>",
         false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        vx::Str target = "stale";
        EXPECT_EQ(Hotmail::GetRefreshUrl(c.page, target), c.found);
        EXPECT_EQ(target, c.target);
    }
}

}  // namespace
