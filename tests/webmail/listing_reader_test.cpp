#include "webmail/listing_reader.h"

#include <gtest/gtest.h>

#include "core/exception.h"

namespace {

const char kOpen[] =
    "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\" xmlns:hm=\"urn:schemas:httpmail:\" "
    "xmlns:m=\"urn:schemas:mailheader:\">";
const char kClose[] = "</D:multistatus>";

std::vector<ListedMessage> Read(const std::string& responses) {
    std::vector<ListedMessage> messages;
    ListingReader::Read(kOpen + responses + kClose, messages);
    return messages;
}

std::string Response(const std::string& href, const std::string& props) {
    return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + props +
           "</D:prop></D:propstat></D:response>";
}

TEST(ListingReader, EachMessageGetsItsPropertiesAndFoldersAreLeftOut) {
    std::vector<ListedMessage> messages = Read(
        Response("http://h/inbox/a", "<D:isfolder>0</D:isfolder><D:getcontentlength>42"
                                     "</D:getcontentlength><hm:read>1</hm:read><hm:date>"
                                     "2026-01-02T03:04:05Z</hm:date><m:subject>Tom &amp; "
                                     "Jerry</m:subject><m:from/><m:to>x@y</m:to>") +
        Response("http://h/inbox/sub/", "<D:isfolder>1</D:isfolder>") +
        Response("http://h/inbox/b", "<hm:read>0</hm:read><D:getcontentlength>junk"
                                     "</D:getcontentlength>") +
        Response("", "<D:getcontentlength>7</D:getcontentlength>") +
        Response("http://h/inbox/c", "<m:date><![CDATA[Fri, 1 <Jan>]]></m:date>"));
    ASSERT_EQ(messages.size(), 3u);
    const ListedMessage& a = messages[0];
    EXPECT_EQ(a.href, "http://h/inbox/a");
    EXPECT_EQ(a.size, 42);
    EXPECT_EQ(a.read, 1);
    EXPECT_EQ(a.received, "2026-01-02T03:04:05Z");
    EXPECT_TRUE(a.hasHeaders);
    EXPECT_EQ(a.subject, "Tom & Jerry");
    EXPECT_EQ(a.from, "");
    EXPECT_EQ(a.to, "x@y");
    EXPECT_EQ(a.date, "");
    const ListedMessage& b = messages[1];
    EXPECT_EQ(b.size, -1);
    EXPECT_EQ(b.read, 0);
    EXPECT_FALSE(b.hasHeaders);
    EXPECT_EQ(messages[2].read, -1);
    EXPECT_EQ(messages[2].date, "Fri, 1 <Jan>");
    // Nothing of one response carries over into the next.
    EXPECT_EQ(messages[2].size, -1);
    EXPECT_EQ(messages[2].subject, "");
}

TEST(ListingReader, TheFirstOfAPropertyInDocumentOrderCounts) {
    // As a depth-first search of the response's tree finds it: the outer of
    // two nested elements, and the earlier of two in a row.
    std::vector<ListedMessage> messages = Read(
        "<D:response><D:href>http://h/outer<D:href>inner</D:href></D:href>"
        "<D:getcontentlength>1</D:getcontentlength><D:getcontentlength>2</D:getcontentlength>"
        "<D:response><D:href>http://h/nested</D:href><m:subject>s</m:subject></D:response>"
        "</D:response>");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].href, "http://h/outer<D:href>inner</D:href>");
    EXPECT_EQ(messages[0].size, 1);
    EXPECT_EQ(messages[0].subject, "s");
}

TEST(ListingReader, TheDeclaredCharacterSetIsReadAndTheRootIsNoResponse) {
    std::vector<ListedMessage> messages;
    ListingReader::Read(
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><D:multistatus><D:response>"
        "<D:href>http://h/m</D:href><m:subject>caf\xe9</m:subject></D:response></D:multistatus>",
        messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].subject, "caf\xc3\xa9");
    ListingReader::Read("<D:response><D:href>http://h/m</D:href></D:response>", messages);
    EXPECT_TRUE(messages.empty());
}

TEST(ListingReader, AMalformedListingFailsAndHandsOutNothing) {
    const std::string kBroken[] = {
        Response("http://h/a", "") + "<D:response><D:href>http://h/b</D:href>",
        Response("http://h/a", "</D:prop>"),
        Response("http://h/a", "<m:subject a=>x</m:subject>"),
        "<D:response><D:href>http://h/a</D:href></D:response><!-- never closed",
    };
    for (const std::string& broken : kBroken) {
        std::vector<ListedMessage> messages = {ListedMessage()};
        EXPECT_THROW(ListingReader::Read(kOpen + broken + kClose, messages), vx::Exception)
            << broken;
        EXPECT_EQ(messages.size(), 1u) << broken;
    }
}

}  // namespace
