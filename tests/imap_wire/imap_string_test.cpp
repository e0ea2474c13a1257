#include "imap_wire/imap_string.h"

#include <gtest/gtest.h>

namespace {

struct StringCase {
    const char* text;
    size_t size;
    const char* string;   // AppendString
    const char* nstring;  // AppendNString
    const char* astring;  // AppendAString
};

#define TEXT(s) s, sizeof(s) - 1

const StringCase kStringCases[] = {
    {TEXT("plain"), "\"plain\"", "\"plain\"", "plain"},
    {TEXT(""), "\"\"", "NIL", "\"\""},
    {TEXT("two words"), "\"two words\"", "\"two words\"", "\"two words\""},
    {TEXT("say \"hi\" \\o/"), "\"say \\\"hi\\\" \\\\o/\"", "\"say \\\"hi\\\" \\\\o/\"",
     "\"say \\\"hi\\\" \\\\o/\""},
    {TEXT("caf\xc3\xa9"), "{5}\r\ncaf\xc3\xa9", "{5}\r\ncaf\xc3\xa9", "{5}\r\ncaf\xc3\xa9"},
    {TEXT("line\r\nbreak"), "{11}\r\nline\r\nbreak", "{11}\r\nline\r\nbreak",
     "{11}\r\nline\r\nbreak"},
    {TEXT("bare\nLF"), "{7}\r\nbare\nLF", "{7}\r\nbare\nLF", "{7}\r\nbare\nLF"},
    {TEXT("nul\0x"), "{5}\r\nnul\x80x", "{5}\r\nnul\x80x", "{5}\r\nnul\x80x"},
    {TEXT("tab\there"), "\"tab\there\"", "\"tab\there\"", "\"tab\there\""},
    {TEXT("NIL"), "\"NIL\"", "\"NIL\"", "NIL"},
    {TEXT("a]b[c"), "\"a]b[c\"", "\"a]b[c\"", "a]b[c"},
    {TEXT("50%"), "\"50%\"", "\"50%\"", "\"50%\""},
    {TEXT("x*"), "\"x*\"", "\"x*\"", "\"x*\""},
    {TEXT("{3}"), "\"{3}\"", "\"{3}\"", "\"{3}\""},
    {TEXT("(a)"), "\"(a)\"", "\"(a)\"", "\"(a)\""},
    {TEXT("\x7f"), "\"\x7f\"", "\"\x7f\"", "\"\x7f\""},
};

TEST(ImapStringTest, QuotedAtomOrLiteralAsTheTextNeeds) {
    for (const StringCase& c : kStringCases) {
        std::string_view text(c.text, c.size);
        vx::Str string, nstring, astring;
        ImapString::AppendString(string, text);
        ImapString::AppendNString(nstring, text);
        ImapString::AppendAString(astring, text);
        EXPECT_EQ(string, c.string) << text;
        EXPECT_EQ(nstring, c.nstring) << text;
        EXPECT_EQ(astring, c.astring) << text;
    }
}

}  // namespace
