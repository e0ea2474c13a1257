// The bodies the web mail client sends, byte for byte.
#include "webmail/request_bodies.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestBodies, PropfindQueriesAreOneLineEach) {
    EXPECT_EQ(request_bodies::Login(),
              "<D:propfind xmlns:D=\"DAV:\" xmlns:h=\"http://schemas.microsoft.com/hotmail/\" "
              "xmlns:hm=\"urn:schemas:httpmail:\"><D:prop><hm:inbox/><hm:sendmsg/>"
              "<hm:deleteditems/><hm:msgfolderroot/></D:prop></D:propfind>");
    EXPECT_EQ(request_bodies::FolderQuery(),
              "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\" "
              "xmlns:hm=\"urn:schemas:httpmail:\"><D:prop><D:isfolder/><D:displayname/>"
              "<D:hassubs/><D:nosubs/><hm:unreadcount/><D:visiblecount/><hm:special/>"
              "</D:prop></D:propfind>");
    EXPECT_EQ(request_bodies::ListQuery(),
              "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\" "
              "xmlns:hm=\"urn:schemas:httpmail:\" xmlns:m=\"urn:schemas:mailheader:\"><D:prop>"
              "<D:isfolder/><D:getcontentlength/></D:prop></D:propfind>");
}

TEST(RequestBodies, SubmissionEnvelopeNamesSenderAndEveryRecipientInOrder) {
    EXPECT_EQ(request_bodies::SubmissionEnvelope(
                  "Alice <a@example.com>",
                  {"b@example.com", "Carol c@example.com", "b@example.com", "<d@example.com>"}),
              "MAIL FROM:<a@example.com>\r\n"
              "RCPT TO:<b@example.com>\r\n"
              "RCPT TO:<c@example.com>\r\n"
              "RCPT TO:<b@example.com>\r\n"
              "RCPT TO:<<d@example.com>>\r\n"
              "\r\n");
    EXPECT_EQ(request_bodies::SubmissionEnvelope("a@example.com", {}),
              "MAIL FROM:<a@example.com>\r\n\r\n");
}

}  // namespace
