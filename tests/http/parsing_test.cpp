// The pure pieces of the HTTP client: response heads, redirect locations,
// cookies and bounded numbers.
#include <gtest/gtest.h>

#include <limits>

#include "http/cookie_jar.h"
#include "http/http_text.h"
#include "http/location.h"
#include "http/response_head.h"

namespace {

using namespace vxw;

TEST(ResponseHead, StatusReasonAndVersion) {
    struct Case {
        const char* head;
        int32_t status;
        const char* reason;
        double version;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nServer: x\r\n", 200, "OK", 1.1},
        {"HTTP/1.0 404 Not Found here\r\n", 404, "Not Found here", 1.0},
        {"HTTP/1.1 204\r\n", 204, "", 1.1},  // no reason: the code ends with the line
        {"HTTP/1.1 99999999999 Big\r\n", std::numeric_limits<int32_t>::max(), "Big", 1.1},
        {"HTTP/1.1\r\nX-A: 1 2\r\n", -1, "", 1.1},  // the only blank lies beyond the first line
        {"", -1, "", -1},
        {"garbage\r\n", -1, "", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseStatusCode(c.head), c.status) << c.head;
        EXPECT_EQ(ParseReasonPhrase(c.head), c.reason) << c.head;
        EXPECT_EQ(ParseHttpVersion(c.head), c.version) << c.head;
    }
}

TEST(ResponseHead, HeaderLinesKeepDuplicatesInArrivalOrder) {
    NoCaseMultimap headers;
    ParseHeaderLines(
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nno colon here\r\nContent-Type :  text/x: y \r\n"
        "set-cookie:b=2\r\n",
        headers);
    ASSERT_EQ(headers.size(), 3u);
    auto cookies = headers.equal_range("SET-COOKIE");
    ASSERT_EQ(std::distance(cookies.first, cookies.second), 2);
    EXPECT_EQ(cookies.first->second, "a=1");
    EXPECT_EQ(std::next(cookies.first)->second, "b=2");
    EXPECT_EQ(headers.find("content-type"), headers.end());  // the name is not trimmed
    EXPECT_EQ(headers.find("Content-Type ")->second, "text/x: y");
}

TEST(Location, ResolvedAgainstTheCurrentTarget) {
    const Target current{false, "mail.example", 8080, ""};
    struct Case {
        const char* location;
        Target expected;
    } cases[] = {
        {"/next?a=b", {false, "mail.example", 8080, "/next?a=b"}},
        {"relative/page", {false, "mail.example", 8080, "/relative/page"}},
        {"", {false, "mail.example", 8080, "/"}},
        {"https://mail.example/secure", {true, "mail.example", 443, "/secure"}},
        {"HTTPS://other.example", {true, "other.example", 443, "/"}},
        {"http://other.example:81/x:y", {false, "other.example", 81, "/x:y"}},
        {"ftp://files.example/f", {false, "files.example", 80, "/f"}},
        {"https://h.example:8443", {true, "h.example", 8443, "/"}},
    };
    for (const auto& c : cases) {
        Target t = ResolveLocation(c.location, current);
        EXPECT_EQ(t.useTls, c.expected.useTls) << c.location;
        EXPECT_EQ(t.host, c.expected.host) << c.location;
        EXPECT_EQ(t.port, c.expected.port) << c.location;
        EXPECT_EQ(t.path, c.expected.path) << c.location;
    }
}

TEST(CookieJar, LaterValueWinsUnderTheFirstSpellingAndPairsGoInNameOrder) {
    CookieJar jar;
    EXPECT_EQ(jar.HeaderValue(), "");
    NoCaseMultimap first{{"Set-Cookie", "SessionId = abc ; path=/; HttpOnly"},
                         {"Set-Cookie", "zeta=1"},
                         {"Set-Cookie", ""},
                         {"Set-Cookie", "novalue"},
                         {"Set-Cookie", "evil=x\r\nInjected: 1"},
                         {"Other", "a=b"}};
    jar.Store(first);
    NoCaseMultimap second{{"set-cookie", "SESSIONID=def"}, {"set-cookie", "alpha="}};
    jar.Store(second);
    EXPECT_EQ(jar.HeaderValue(), "alpha=; SessionId=def; zeta=1");
}

TEST(HttpText, ReadDecimalIsAtoiWithoutOverflow) {
    const int64_t lo = -1000, hi = 1000;
    struct Case {
        const char* text;
        int64_t value;
        bool digits;
    } cases[] = {{" 42abc", 42, true},
                 {"-7", -7, true},
                 {"+5", 5, true},
                 {"abc", 0, false},
                 {"", 0, false},
                 {"999999999999999999999999", hi, true},
                 {"-999999999999999999999999", lo, true}};
    for (const auto& c : cases) {
        bool digits = !c.digits;
        EXPECT_EQ(ReadDecimal(c.text, lo, hi, &digits), c.value) << c.text;
        EXPECT_EQ(digits, c.digits) << c.text;
    }
    EXPECT_EQ(ReadDecimal("99999999999999999999", 0, std::numeric_limits<int64_t>::max()),
              std::numeric_limits<int64_t>::max());
}

}  // namespace
