// Answers cut short are told apart from whole ones.
#include "webmail/answer_check.h"

#include <gtest/gtest.h>

namespace {

TEST(AnswerCheck, AnAnswerIsWholeWhenItsBodyReachedItsDeclaredLength) {
    struct Case {
        const char* head;
        int32_t status;
        size_t bodySize;
        const char* problem;
    } cases[] = {
        {"", -1, 0, "No answer from the service"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n", 200, 10, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n", 200, 12, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n", 200, 9,
         "The answer ended early - 9 of 10 bytes"},
        {"HTTP/1.1 404 Not Found\r\nX: 1\r\ncontent-LENGTH:  300 \r\n", 404, 0,
         "The answer ended early - 0 of 300 bytes"},
        {"HTTP/1.1 200 OK\r\n", 200, 0, ""},  // read until the server closed
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 10\r\n", 200, 4, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: ten\r\n", 200, 4, ""},
        {"HTTP/1.1 204 No Content\r\nContent-Length: 10\r\n", 204, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DescribeIncompleteAnswer(c.head, c.status, c.bodySize), c.problem) << c.head;
}

}  // namespace
