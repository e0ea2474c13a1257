#include "text/xml.h"

#include <gtest/gtest.h>

#include <random>

#include "core/exception.h"
#include "tests/support/random.h"

namespace {

using vx::Xml;

const char kListing[] =
    "<?xml version=\"1.0\" encoding=\"Utf-8\"?>\r\n"
    "<D:multistatus xmlns:D=\"DAV:\" xmlns:hm='urn:schemas:httpmail:'>"
    "<D:response><D:href>http://mail.test/folders/inbox/msg1?a=1&amp;b=2</D:href>"
    "<D:propstat><D:prop><D:isfolder>0</D:isfolder><D:getcontentlength>1024</D:getcontentlength>"
    "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>\r\n"
    "<D:response><D:href>http://mail.test/folders/inbox/msg2</D:href>"
    "<D:propstat><D:prop><D:getcontentlength>77</D:getcontentlength></D:prop></D:propstat>"
    "</D:response>"
    "<D:response><D:href>http://mail.test/folders/inbox/sub/</D:href>"
    "<D:propstat><D:prop><D:isfolder>1</D:isfolder><D:getcontentlength/></D:prop></D:propstat>"
    "</D:response>"
    "</D:multistatus>";

std::vector<std::string> Values(const Xml& node, const char* name) {
    std::vector<Xml> found{node};  // FindAll empties it first
    node.FindAll(name, found);
    std::vector<std::string> values;
    for (const Xml& element : found) values.push_back(element.GetValue());
    return values;
}

std::string ParseError(const std::string& document) {
    try {
        Xml xml(document);
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Code(), 0);
        return e.Message();
    }
    return "parsed";
}

TEST(Xml, ReadsAMultistatusListing) {
    Xml root(kListing);
    EXPECT_EQ(root.GetName(), "D:multistatus");
    EXPECT_EQ(root.GetAttribute("xmlns:D"), "DAV:");
    EXPECT_EQ(root.GetAttribute("xmlns:hm"), "urn:schemas:httpmail:");
    EXPECT_EQ(root.GetAttribute("xmlns:m"), "");
    std::vector<Xml> responses;
    root.FindAll("D:response", responses);
    ASSERT_EQ(responses.size(), 3u);
    EXPECT_EQ(responses[0].FindFirst("D:href").GetValue(),
              "http://mail.test/folders/inbox/msg1?a=1&b=2");
    EXPECT_EQ(responses[0].FindFirst("D:getcontentlength").GetValue(), "1024");
    EXPECT_EQ(responses[1].FindFirst("D:isfolder").GetValue(), "");
    EXPECT_EQ(responses[2].FindFirst("D:getcontentlength").GetValue(), "");
    EXPECT_EQ(Values(root, "D:getcontentlength"), (std::vector<std::string>{"1024", "77", ""}));
    EXPECT_TRUE(Values(root, "d:response").empty());  // names are compared byte by byte
    EXPECT_TRUE(Values(root, "response").empty());
}

TEST(Xml, NodesOutliveTheTreeTheyCameFrom) {
    Xml href = [] { return Xml(kListing).FindFirst("D:href"); }();
    EXPECT_EQ(href.GetName(), "D:href");
    EXPECT_EQ(href.GetValue(), "http://mail.test/folders/inbox/msg1?a=1&b=2");
    Xml copy = href;
    EXPECT_EQ(copy.GetValue(), href.GetValue());
}

TEST(Xml, ValuesAreRawInnerTextWithReferencesDecoded) {
    Xml root(
        "<r><a> x <b k='1'>1 &amp; 2</b>&#65;</a>"
        "<c>\r\n <![CDATA[x &amp; <y>]]> ignored</c>"
        "<d/> <![CDATA[not d's]]>"
        "<e a='x&lt;y' a='second'>&bogus;</e></r>");
    EXPECT_EQ(root.FindFirst("a").GetValue(), " x <b k='1'>1 & 2</b>A");
    EXPECT_EQ(root.FindFirst("c").GetValue(), "x &amp; <y>");
    EXPECT_EQ(root.FindFirst("d").GetValue(), "");
    EXPECT_EQ(root.FindFirst("e").GetValue(), "");
    EXPECT_EQ(root.FindFirst("e").GetAttribute("a"), "x<y");
    EXPECT_EQ(Xml("<r a='<![CDATA[x]]>'/>").GetAttribute("a"), "x");
    try {
        Xml("<r b=' <![CDATA[x' c=']]>'/>").GetAttribute("b");
        FAIL() << "an attribute's CDATA ends within its quotes";
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "vx::Xml::GetValue - Unterminated CDATA section detected");
    }
    Xml missing = root.FindFirst("zz");
    EXPECT_EQ(missing.GetName(), "");
    EXPECT_EQ(missing.GetValue(), "");
    EXPECT_TRUE(Values(missing, "a").empty());
}

TEST(Xml, SearchesDepthFirstInDocumentOrder) {
    Xml root("<r><x><n>deep</n></x><n>shallow<n>inner</n></n></r>");
    EXPECT_EQ(root.FindFirst("n").GetValue(), "deep");
    EXPECT_EQ(Values(root, "n"),
              (std::vector<std::string>{"deep", "shallow<n>inner</n>", "inner"}));
    EXPECT_TRUE(Values(root, "r").empty());  // the node itself is not searched
}

TEST(Xml, SkipsCommentsInstructionsCdataAndDeclarationsBetweenElements) {
    Xml root(
        "<!DOCTYPE r><!-- <x>1</x> --><r><?pi <x>2</x>?><a>1</a>"
        "<!-- <x>3</x> --><![CDATA[<x>4</x>]]><a>2</a></r><x>after the root</x>");
    EXPECT_EQ(Values(root, "a"), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(Values(root, "x").empty());
    EXPECT_TRUE(Values(Xml("<r/><x></x>"), "x").empty());
}

TEST(Xml, ConvertsTheDeclaredCharacterSetToUtf8) {
    EXPECT_EQ(Xml("<?xml version='1.0' encoding='windows-1252'?><r>\x93it\xE9\x94</r>").GetValue(),
              "\xE2\x80\x9Cit\xC3\xA9\xE2\x80\x9D");
    EXPECT_EQ(Xml("<?xml version=\"1.0\" encoding=\"ISO-8859-5\"?><r a='\xB0'/>").GetAttribute("a"),
              "\xD0\x90");
    EXPECT_EQ(Xml("<?xml version=\"1.0\" encoding=\"UTF8\"?><r>\xE9</r>").GetValue(), "\xE9");
    EXPECT_EQ(Xml("<r>\xE9</r>").GetValue(), "\xE9");
    EXPECT_EQ(Xml(" <?xml version='1.0' encoding='windows-1252'?><r>\xE9</r>").GetValue(), "\xE9");
}

TEST(Xml, ReportsMalformedDocuments) {
    const std::string cut = "<r><a><b>";
    struct Case {
        std::string document, message;
    } cases[] = {
        {"", "vx::Xml::FindNextNode - Error finding node - "},
        {"no markup", "vx::Xml::FindNextNode - Error finding node - no markup"},
        {"<!-- x -->", "vx::Xml::FindNextNode - Error finding node - <!-- x -->"},
        {"<!-- x ->", "vx::Xml::FindNextNode - Unterminated comment detected - <!-- x ->"},
        {"<?pi x", "vx::Xml::FindNextNode - Unterminated processing instruction detected - <?pi x"},
        {"<![CDATA[x]>",
         "vx::Xml::FindNextNode - Unterminated CDATA section detected - <![CDATA[x]>"},
        {"<!DOCTYPE r",
         "vx::Xml::FindNextNode - Unterminated Document Type Declaration detected - <!DOCTYPE r"},
        {"<r><a></b></a></r>", "Xml::ParseSelf - Found closing tag for unexpected node - b"},
        {cut,
         "Xml::ParseSelf - Error finding closing tag for 'b' - vx::Xml::FindNextNode - Error "
         "finding node - " +
             cut},
        {"<r><a><!-- x",
         "Xml::ParseSelf - Error finding closing tag for 'a' - "
         "vx::Xml::FindNextNode - Unterminated comment detected - <r><a><!-- x"},
        {"< >", "vx::Xml::ParseTag - Unnamed tag found before position - 2"},
        {"<r></>", "vx::Xml::ParseTag - Unnamed tag found before position - 5"},
        {"<r a=b>", "vx::Xml::ParseTag - Found attribute with no value at position - 5"},
        {"<r a b>", "vx::Xml::ParseTag - Found attribute with no value seperator at position - 5"},
        {"<r a=\"b>",
         "vx::Xml::ParseTag - Found attribute value with no closing quote at position - 6"},
        {"<r", "vx::Xml::ParseTag - Found attribute with no value seperator at position - 2"},
        {"<r a='x'", "vx::Xml::ParseTag - Found attribute with no value seperator at position - 8"},
        {std::string("<r\0>", 4),
         "vx::Xml::ParseTag - Found attribute with no value seperator at position - 2"},
        {"<?xml version=1.0?><r/>",
         "vx::Xml::ParseTag - Found attribute with no value at position - 14"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseError(c.document), c.message) << c.document;
}

std::string Nested(size_t depth) {
    std::string open, close;
    for (size_t i = 0; i < depth; ++i) {
        open += "<e>";
        close += "</e>";
    }
    return open + close;
}

TEST(Xml, BoundsTheNestingDepth) {
    Xml deepest(Nested(256));
    EXPECT_EQ(Values(deepest, "e").size(), 255u);
    EXPECT_EQ(ParseError(Nested(257)),
              "vx::Xml::ParseSelf - Elements nested deeper than 256 levels at position - 768");
    EXPECT_EQ(ParseError(Nested(256).insert(256 * 3, "<e/>")),
              "vx::Xml::ParseSelf - Elements nested deeper than 256 levels at position - 768");
    EXPECT_EQ(ParseError(std::string(1000000, '<')),
              "vx::Xml::ParseTag - Unnamed tag found before position - 1");
    EXPECT_NE(ParseError(Nested(1000000)), "parsed");
}

// Every cut and many random damages of a valid document either parse or fail
// with the reader's exception; under AddressSanitizer nothing reads outside.
TEST(Xml, DamagedDocumentsFailCleanly) {
    const std::string whole = kListing;
    std::vector<std::string> damaged;
    for (size_t size = 0; size < whole.size(); ++size) damaged.push_back(whole.substr(0, size));
    std::mt19937 random(7);
    const char bytes[] = "<>/?!-=\"'& ;[]\0x";
    for (int i = 0; i < 3000; ++i) {
        std::string text = whole.substr(0, 1 + testing_support::RandomBelow(whole.size()));
        for (int n = 0; n < 3; ++n)
            text[testing_support::RandomBelow(text.size())] =
                bytes[testing_support::RandomBelow(sizeof bytes - 1)];
        damaged.push_back(text);
    }
    for (const std::string& text : damaged) {
        try {
            Xml root(text);
            std::vector<Xml> all;
            root.FindAll("D:href", all);
            for (const Xml& node : all) node.GetValue();
        } catch (const vx::Exception&) {
        }
    }
}

}  // namespace
