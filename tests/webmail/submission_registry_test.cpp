// What the gateway remembers of the messages it submitted: found by account
// (any letter case), Message-ID and a size within the slack, for a while and
// up to a bound; and the Message-ID read from a header as it is written.
#include "webmail/submission_registry.h"

#include <gtest/gtest.h>

#include <string>

#include "core/body_stream.h"

namespace {

const int64_t kNow = 1700000000;

TEST(SubmissionRegistry, ASubmissionIsFoundByAccountMessageIdAndSizeForAWhile) {
    SubmissionRegistry registry;
    registry.Record("Alice", "<1@example.com>", 5000, kNow);
    registry.Record("bob", "", 100, kNow);  // no Message-ID: nothing to find it by
    const struct {
        const char* account;
        const char* messageId;
        uint64_t size;
        int64_t when;
        bool found;
    } cases[] = {
        {"alice", "<1@example.com>", 5000, kNow, true},
        {"ALICE", "<1@example.com>", 5000 + SubmissionRegistry::kSizeSlack, kNow + 60, true},
        {"alice", "<1@example.com>", 5000 - SubmissionRegistry::kSizeSlack, kNow, true},
        {"alice", "<1@example.com>", 5001 + SubmissionRegistry::kSizeSlack, kNow, false},
        {"alice", "<1@example.com>", 5000, kNow + SubmissionRegistry::kKeepSeconds, true},
        {"alice", "<1@example.com>", 5000, kNow + SubmissionRegistry::kKeepSeconds + 1, false},
        {"alice", "<1@EXAMPLE.com>", 5000, kNow, false},
        {"bob", "<1@example.com>", 5000, kNow, false},
        {"bob", "", 100, kNow, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(registry.Submitted(c.account, c.messageId, c.size, c.when), c.found)
            << c.account << " " << c.messageId << " " << c.size << " " << c.when;
}

TEST(SubmissionRegistry, OnlyTheLatestSubmissionsAreKept) {
    SubmissionRegistry registry;
    for (size_t i = 0; i <= SubmissionRegistry::kMaxEntries; ++i)
        registry.Record("alice", "<" + std::to_string(i) + "@x>", 10, kNow);
    EXPECT_FALSE(registry.Submitted("alice", "<0@x>", 10, kNow));
    EXPECT_TRUE(registry.Submitted("alice", "<1@x>", 10, kNow));
    EXPECT_TRUE(registry.Submitted(
        "alice", "<" + std::to_string(SubmissionRegistry::kMaxEntries) + "@x>", 10, kNow));
}

TEST(SubmissionRegistry, TheMessageIdIsReadFromTheHeaderAsWritten) {
    const std::pair<std::string, std::string> cases[] = {
        {"Subject: x\r\nMessage-ID: <a.1@example.com>\r\n\r\nbody", "<a.1@example.com>"},
        {"message-id:<b@x>\r\n\r\n", "<b@x>"},
        {"Message-Id: \r\n  <folded@x> (comment)\r\n\r\n", "<folded@x>"},
        {"Message-ID : <spaced@x>\n\n", "<spaced@x>"},
        {"Subject: x\r\n\r\nMessage-ID: <in-the-body@x>\r\n", ""},
        {"X-Message-ID: <other@x>\r\nResent-Message-ID: <r@x>\r\n\r\n", ""},
        {"Message-ID: no brackets\r\n\r\n", ""},
        {"Message-ID: <first@x>\r\nMessage-ID: <second@x>\r\n\r\n", "<first@x>"},
    };
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(SubmissionRegistry::MessageIdOfHeader(text), id) << text;
        vxw::PartsSource source({text});
        EXPECT_EQ(SubmissionRegistry::MessageId(source), id) << text;
        char first = 0;
        EXPECT_EQ(source.Read(&first, 1), 1u);  // left at its start
        EXPECT_EQ(first, text[0]);
    }
    // Beyond the part of a header that is read, nothing is found.
    const std::string late = "X: " + std::string(SubmissionRegistry::kMaxHeader, 'x') +
                             "\r\nMessage-ID: <late@x>\r\n\r\n";
    vxw::PartsSource source({late});  // a source of views: the text outlives it
    EXPECT_EQ(SubmissionRegistry::MessageId(source), "");
}

}  // namespace
