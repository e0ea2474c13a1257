#include "text/charset_map.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/exception.h"
#include "core/singleton.h"

namespace {

using vx::CharsetMap;
using vx::CodePoints;

CharsetMap& Map() {
    return qn::Singleton<CharsetMap>::Instance();
}

CodePoints Decode(const std::string& charset, const std::string& bytes) {
    CodePoints out{0xDEAD};  // Decode empties it first
    Map().Decode(charset, bytes, out);
    return out;
}

// Code points known from the published tables, not from the generator.
TEST(CharsetMap, DecodesKnownCodePoints) {
    struct Case {
        const char* charset;
        std::string bytes;
        CodePoints expected;
    } cases[] = {
        {"windows-1252", "\x80\x93\x94", {0x20AC, 0x201C, 0x201D}},
        {"WINDOWS-1252", "\x93\x94", {0x201C, 0x201D}},
        {"windows-1252", "\x81", {0xFFFD}},  // undefined in the code page
        {"iso-8859-1", "A\xE9", {0x41, 0xE9}},
        {"iso-8859-2", "\xA1", {0x104}},
        {"iso-8859-5", "\xB0\xC0\xEF", {0x410, 0x420, 0x44F}},
        {"iso-8859-7", "\xC1", {0x391}},
        {"iso-8859-15", "\xA4", {0x20AC}},
        {"windows-1251", "\xC0\xA8", {0x410, 0x401}},
        {"windows-874", "\xA1", {0xE01}},
        {"x-unknown", "\x80\xE9", {0x80, 0xE9}},  // read as ISO-8859-1
        {"big5", "\xA4\x40\x41", {0x4E00, 0x41}},
        {"big5", "\xA4\x40\xA4", {0x4E00}},  // a cut-off pair is dropped
        {"big5", "\xFE\xFE", {0xFEFE}},      // beyond the table: the code number
        {"gb2312", "\xB0\xA1", {0x554A}},
        {"gb", "\xD6\xD0\x61\xB0", {0x4E2D, 0x61}},
        {"GB-2312", "\xB0\xA1", {0x554A}},
        {"shift-jis", "\x82\xA0\xB1", {0x3042, 0xFF71}},
        {"Shift_JIS", "\x5C\x7E\xA1\xDF", {0xA5, 0x203E, 0xFF61, 0xFF9F}},
        {"shift-jis", "\x88\x9F\x82", {0x4E9C}},
        {"shift-jis", "\xEF\x40", {0xEF40}},
        {"euc-jp", "\xA4\xA2\x62", {0x3042, 0x62}},
        {"euc-jp", "b\xA4", {0x62}},  // a cut-off pair is dropped
        {"iso-2022-jp", "\x1B$B$\"\x1B(BA", {0x3042, 0x41}},
        {"iso-2022-jp", "\x1B$@0!\x1B(J\x5C", {0x4E9C, 0xA5}},
        {"iso-2022-jp", "\x1B$B$", {}},
        {"iso-2022-jp", "A\x1B(", {0x41, 0x28}},         // an escape without two bytes is dropped
        {"iso-2022-jp", "\x1B(ZA", {0x28, 0x5A, 0x41}},  // an unknown escape loses only ESC
        {"utf-8", "\xC3\xA9", {0xE9}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.charset, c.bytes), c.expected) << c.charset << " " << c.bytes;
}

TEST(CharsetMap, EverySingleByteSetEncodesWhatItDecodes) {
    const char* names[] = {"iso-8859-1",   "iso-8859-2",   "iso-8859-3",   "iso-8859-4",
                           "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",
                           "iso-8859-9",   "iso-8859-10",  "iso-8859-13",  "iso-8859-14",
                           "iso-8859-15",  "windows-1250", "windows-1251", "windows-1252",
                           "windows-1253", "windows-1254", "windows-1255", "windows-1256",
                           "windows-1257", "windows-1258", "windows-874"};
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (const char* name : names) {
        CodePoints decoded = Decode(name, all);
        ASSERT_EQ(decoded.size(), 256u);
        for (int byte = 0; byte < 256; ++byte) {
            if (decoded[byte] == 0xFFFD) continue;
            std::string out;
            Map().EncodeCharacter(out, decoded[byte], name);
            EXPECT_EQ(out, std::string(1, static_cast<char>(byte))) << name << " " << byte;
        }
    }
}

std::string EncodeError(uint32_t codePoint, const std::string& charset) {
    try {
        std::string out;
        Map().EncodeCharacter(out, codePoint, charset);
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Code(), 0);
        return e.Message();
    }
    return "no error";
}

TEST(CharsetMap, EncodeCharacterNamesWhatIsMissing) {
    std::string out = "old";
    Map().EncodeCharacter(out, 0xE9, "ISO-8859-1");
    EXPECT_EQ(out, "\xE9");
    Map().EncodeCharacter(out, 0x20AC, "iso-8859-15");
    EXPECT_EQ(out, "\xA4");
    Map().EncodeCharacter(out, 0xE9, "utf8");
    EXPECT_EQ(out, "\xC3\xA9");
    EXPECT_EQ(EncodeError(0x4E00, "iso-8859-1"),
              "VX_CHARSETMAP_ENCODECHARACTER_BACKMAP: Character not found - 19968");
    EXPECT_EQ(EncodeError(0xFFFD, "windows-1252"),
              "VX_CHARSETMAP_ENCODECHARACTER_BACKMAP: Character not found - 65533");
    EXPECT_EQ(
        EncodeError(0x41, "koi8-r"),
        "VX_CHARSETMAP_ENCODECHARACTER_CHARSET: Unsupported character set specified - koi8-r");
}

TEST(CharsetMap, ChoosesTheFirstSetThatCarriesEveryCharacter) {
    struct Case {
        CodePoints text;
        const char* expected;
    } cases[] = {
        {{}, "iso-8859-1"},
        {{'H', 'i'}, "iso-8859-1"},
        {{'J', 0xE9, 0xFC}, "iso-8859-1"},
        {{0x20AC, 0xE9}, "iso-8859-15"},
        {{0x104, 0x141}, "iso-8859-2"},
        {{0x41F, 0x440, 0x438, 0x432, 0x435, 0x442}, "iso-8859-5"},
        {{0x41F, 0xAB, 0xBB}, "windows-1251"},  // guillemets are not in ISO-8859-5
        {{0x391, 0x41F}, "UTF-8"},              // Greek and Cyrillic together
        {{0x4E00}, "UTF-8"},
        {{0x1F600}, "UTF-8"},
    };
    for (const Case& c : cases) EXPECT_EQ(Map().ChooseCharset(c.text), c.expected) << c.expected;
}

TEST(CharsetMap, LooksUpEntityNamesExactly) {
    struct Case {
        const char* name;
        uint32_t codePoint;
    } cases[] = {{"eacute", 233}, {"Eacute", 201},   {"EACUTE", 0},  {"nbsp", 32},
                 {"amp", 38},     {"AElig", 198},    {"aelig", 230}, {"euro", 8364},
                 {"zwnj", 8204},  {"thetasym", 977}, {"", 0},        {"apos", 0}};
    for (const Case& c : cases) EXPECT_EQ(Map().LookupEntity(c.name), c.codePoint) << c.name;
}

// Reverse maps are built lazily from several threads at once (run under ThreadSanitizer).
TEST(CharsetMap, BuildsReverseMapsSafelyFromSeveralThreads) {
    CharsetMap map;
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&map, &results, i] {
            std::string out;
            map.EncodeCharacter(out, 0x4E00, "big5");
            results[i] = map.ChooseCharset({0x41F, 0xAB}) + out;
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(result, results[0]);
    EXPECT_EQ(results[0].substr(0, 12), "windows-1251");
}

}  // namespace
