#include <gtest/gtest.h>

#include "settings/reg_file.h"

namespace {

using vxw::RegFile;
using vxw::RegValue;

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink";

std::string Doc(const std::string& body) {
    return "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n" +
           body;
}

TEST(RegFile, ReadsEachValueForm) {
    struct Case {
        const char* line;
        uint32_t type;
        std::string data;  // empty type 0 = unreadable
    } cases[] = {
        {"\"Address\"=\"127.0.0.1\"", vxw::kRegSz, std::string("127.0.0.1\0", 10)},
        {"\"Address\"=\"a \\\"q\\\" \\\\ b\"", vxw::kRegSz, std::string("a \"q\" \\ b\0", 10)},
        {"\"Address\"=\"\"", vxw::kRegSz, std::string("\0", 1)},
        {"\"Address\"=dword:0000006e", vxw::kRegDword, std::string("\x6e\0\0\0", 4)},
        {"\"Address\"=dword:FFFFFFFF", vxw::kRegDword, std::string("\xff\xff\xff\xff", 4)},
        {"\"Address\"=hex:01,02, 03", vxw::kRegBinary, "\x01\x02\x03"},
        {"\"Address\"=hex(2):41,00,42,00,00,00", vxw::kRegExpandSz, std::string("AB\0", 3)},
        {"\"Address\"=hex(b):01,00,00,00,00,00,00,00", 11, std::string("\x01\0\0\0\0\0\0\0", 8)},
        // unreadable: bad escape, no quotes, nine digits, a deletion, trailing garbage, not UTF-8
        {"\"Address\"=\"a\\nb\"", 0, ""},
        {"\"Address\"=127.0.0.1", 0, ""},
        {"\"Address\"=dword:000000001", 0, ""},
        {"\"Address\"=-", 0, ""},
        {"\"Address\"=\"x\" y", 0, ""},
        {"\"Address\"=\"\xff\xfe\"", 0, ""},
        {"Address=\"x\"", 0, ""},
    };
    for (const Case& c : cases) {
        RegFile file = RegFile::Parse(Doc(std::string(c.line) + "\r\n"));
        const RegValue* value = file.Find(kKey, "address");  // names ignore case
        if (c.type == 0) {
            EXPECT_EQ(value, nullptr) << c.line;
            continue;
        }
        ASSERT_NE(value, nullptr) << c.line;
        EXPECT_EQ(value->type, c.type) << c.line;
        EXPECT_EQ(value->data, c.data) << c.line;
    }
}

TEST(RegFile, ReadsARegistryEditorExportInUtf16WithContinuedHexLines) {
    std::string utf8 = Doc("\"Bin\"=hex:01,02,\\\r\n  03,04\r\n\"Name\"=\"caf\xc3\xa9\"\r\n\r\n");
    std::string utf16 = "\xff\xfe";
    for (unsigned char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n\"Bin\"=hex:01,02,\\\r\n  03,04\r\n\"Name\"=\"caf")) {
        utf16 += static_cast<char>(c);
        utf16 += '\0';
    }
    utf16 += std::string("\xe9\0\"\0\r\0\n\0", 8);
    for (const std::string& bytes : {utf8, utf16}) {
        RegFile file = RegFile::Parse(bytes);
        ASSERT_NE(file.Find(kKey, "Bin"), nullptr);
        EXPECT_EQ(file.Find(kKey, "Bin")->data, "\x01\x02\x03\x04");
        ASSERT_NE(file.Find(kKey, "Name"), nullptr);
        EXPECT_EQ(file.Find(kKey, "Name")->data, std::string("caf\xc3\xa9\0", 6));
    }
}

TEST(RegFile, SetKeepsEverythingItDoesNotKnow) {
    std::string original =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n"
        "; a comment\r\n\"Port\"=dword:0000006e\r\n\"Odd\"=what is this\r\n\"Future\"=hex(7):41,00,00,00,00,00\r\n\r\n";
    RegFile file = RegFile::Parse(original);
    EXPECT_EQ(file.Serialize(), original);
    file.Set(kKey, "PORT", RegFile::Dword(1110));
    file.Set(kKey, "Address", RegFile::String("a\"b"));
    EXPECT_EQ(file.Serialize(),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n"
              "; a comment\r\n\"Port\"=dword:00000456\r\n\"Odd\"=what is this\r\n"
              "\"Future\"=hex(7):41,00,00,00,00,00\r\n\"Address\"=\"a\\\"b\"\r\n\r\n");
}

TEST(RegFile, SetOnAnEmptyDocumentWritesTheHeaderAndSection) {
    RegFile file = RegFile::Parse("");
    file.Set(kKey, "Port", RegFile::Dword(110));
    EXPECT_EQ(file.Serialize(),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n\"Port\"=dword:0000006e\r\n");
    EXPECT_EQ(RegFile::Parse(file.Serialize()).Serialize(), file.Serialize());
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string(1, c) + '\0';
    return out;
}

// Bytes that are no registry file at all are told apart from a file that
// merely lacks the program's key or holds a bad line.
TEST(RegFile, ReadableOnlyWhenTextWithAKeyAValueOrNothingButTheFirstLine) {
    const std::string first = "Windows Registry Editor Version 5.00\r\n";
    struct Case {
        std::string bytes;
        bool readable;
    } cases[] = {
        {"", false},
        {" \r\n\t\r\n", false},
        {first + "\r\n[HKEY_CURRENT_USER\\Softw", false},  // cut short
        {"just some notes\nand more\n", false},
        {Utf16(first), false},  // UTF-16 without its byte-order mark
        {std::string("\x7f" "ELF\x02\x01\0\0", 8), false},
        {first, true},
        {first + "; nothing yet\r\n", true},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n", true},
        {Doc("\"Port\"=dword:zz\r\n"), true},
        {"\"Port\"=dword:0000006e\n", true},
        {"\xff\xfe" + Utf16(first), true},
    };
    for (const Case& c : cases) EXPECT_EQ(RegFile::Parse(c.bytes).Readable(), c.readable) << c.bytes;
}

// Value lines alone, as a user types them, are the program's key; written
// back they get the first line and the key line, and no value twice.
TEST(RegFile, LooseValueLinesBecomeTheKeysValues) {
    RegFile loose = RegFile::Parse("\"Port\"=dword:00000457\n; mine\n\"Address\"=\"127.0.0.1\"\n");
    EXPECT_EQ(loose.Find(kKey, "Port"), nullptr);
    ASSERT_TRUE(loose.AdoptLooseValues(kKey));
    ASSERT_NE(loose.Find(kKey, "Port"), nullptr);
    EXPECT_EQ(loose.Find(kKey, "Port")->data, std::string("\x57\x04\0\0", 4));
    EXPECT_EQ(loose.LineOf(kKey, "Address"), 3u);
    loose.Set(kKey, "Port", RegFile::Dword(110));
    EXPECT_EQ(loose.Serialize(), Doc("\"Port\"=dword:0000006e\r\n; mine\r\n\"Address\"=\"127.0.0.1\"\r\n"));

    RegFile keyed = RegFile::Parse(Doc("\"Port\"=dword:0000006e\r\n"));
    EXPECT_FALSE(keyed.AdoptLooseValues(kKey));
    RegFile notes = RegFile::Parse("some notes\n");
    EXPECT_FALSE(notes.AdoptLooseValues(kKey));
    EXPECT_EQ(notes.Find(kKey, "Port"), nullptr);
}

TEST(RegFile, UnreadableLinesOfTheKeyWithTheirNumbers) {
    RegFile file = RegFile::Parse(Doc(
        "\"Port\"=dword:zz\r\n"
        "; a comment\r\n"
        "\r\n"
        "\"Timeout\"=dward:00000078\r\n"
        "\"Delay\"=dword:0000000a\r\n"
        "\"Address\"=\"127.0.0.1\r\n"
        "[HKEY_CURRENT_USER\\Other]\r\n"
        "\"Elsewhere\"=junk\r\n"));
    auto unreadable = file.UnreadableLines(kKey);
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable[0].line, 4u);
    EXPECT_EQ(unreadable[0].text, "\"Port\"=dword:zz");
    EXPECT_EQ(unreadable[1].line, 7u);
    EXPECT_EQ(unreadable[2].line, 9u);
    EXPECT_EQ(file.LineOf(kKey, "Delay"), 8u);
    EXPECT_EQ(file.LineOf(kKey, "Port"), 0u);
}

TEST(RegFile, ASetTextReadsBackWhateverItHolds) {
    struct Case {
        std::string file;
        std::string text;
    } cases[] = {
        {Doc(""), "a\nb"},
        {Doc("\"Port\"=dword:0000006e\r\n"), "x\r\n\"Port\"=dword:00000001"},
        {Doc(""), "caf\xc3\xa9 \xf0\x9f\x98\x80\r"},
        {Doc(""), std::string("nul\0inside", 10)},
        // found by the fuzzer: a file without the key that ends in a lone name
        {"REGEDIT4\n[HKEY_CURRGNT_USER\\Software\\Pal\xbfREGEDIT4\n[HKEY_CURRENT_USER\\Softwarfff"
         "\n\"Bad\"=dword:1234\x9b" "56789\n\"Address\"",
         "=\"untnt\n"},
    };
    for (const Case& c : cases) {
        RegFile file = RegFile::Parse(c.file);
        file.Set(kKey, "Address", RegFile::String(c.text));
        RegFile reread = RegFile::Parse(file.Serialize());
        const RegValue* address = reread.Find(kKey, "Address");
        ASSERT_NE(address, nullptr) << c.text;
        EXPECT_EQ(address->type, vxw::kRegSz) << c.text;
        EXPECT_EQ(address->data, c.text + '\0') << c.text;
        // Nothing of the text became a value of its own.
        const RegValue* port = reread.Find(kKey, "Port");
        EXPECT_EQ(port == nullptr ? "none" : port->data,
                  c.file.find("Port") == std::string::npos ? "none" : std::string("n\0\0\0", 4));
    }
}

// Found by the fuzzer: a continued hex line that is still open at the end of the file.
const char kOpenAtTheEnd[] =
    "Windo\x00\x00\x00\x00stx:01,\n[H\xd9\xb1\x00\x00\xd7\xff\xfd~\x00\x00" "E\\Other]\r\n"
    "\"x\"=hex:01,Windows Regist0E2,\\\r\n  03\rv||||||||||||||||||||||]\\\\\x00\x00\x00"
    "\\\\\\\\\\\\\\\\\\\\|||\\\\\\\\";

TEST(RegFile, ContinuedLinesSurviveSavesAndNeverTakeInANewValue) {
    struct Case {
        std::string file;
        bool portRead;
    } cases[] = {
        {Doc("\"x\"=hex:01,\\\\\r\n\"Port\"=dword:0000006e\r\n"), false},  // taken in, as on import
        {Doc("\"x\"=hex:01,\\\\\r\n\r\n\"Port\"=dword:0000006e\r\n"), true},  // an empty line ends it
        {Doc("\"Port\"=dword:0000006e\r\n\"x\"=hex:01,\\\\\\"), true},
        {std::string(kOpenAtTheEnd, sizeof kOpenAtTheEnd - 1), false},
    };
    for (const Case& c : cases) {
        RegFile file = RegFile::Parse(c.file);
        EXPECT_EQ(file.Find(kKey, "Port") != nullptr, c.portRead) << c.file;
        std::string written = file.Serialize();
        EXPECT_EQ(RegFile::Parse(written).Serialize(), written) << c.file;
        file.Set(kKey, "Address", RegFile::String("a"));
        RegFile reread = RegFile::Parse(file.Serialize());
        ASSERT_NE(reread.Find(kKey, "Address"), nullptr) << c.file;
        EXPECT_EQ(reread.Find(kKey, "Address")->data, std::string("a\0", 2));
        EXPECT_EQ(reread.Find(kKey, "Port") != nullptr, c.portRead) << c.file;
    }
}

}  // namespace
