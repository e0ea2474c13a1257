#include "text/case_fold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/random.h"
#include "text/text_finder.h"

namespace {

using vx::FoldCase;

TEST(CaseFold, LettersOfEachScriptFoldToOneForm) {
    struct Case {
        uint32_t codePoint;
        uint32_t folded;
    } cases[] = {
        {'A', 'a'},       {'z', 'z'},       {'@', '@'},       {0xC9, 0xE9},      // É
        {0xE9, 0xE9},     {0x178, 0xFF},    {0x100, 0x101},   {0x101, 0x101},    // Ÿ, Ā
        {0x17F, 's'},     {0x212A, 'k'},    {0x3A3, 0x3C3},   {0x3C2, 0x3C3},    // ſ, K, Σ, ς
        {0x3C3, 0x3C3},   {0x391, 0x3B1},   {0x386, 0x3AC},   {0x1F88, 0x1F80},  // Α, Ά, ᾈ
        {0x414, 0x434},   {0x401, 0x451},   {0x4C1, 0x4C2},   {0x434, 0x434},    // Д, Ё, Ӂ
        {0xDF, 0xDF},     {0x1E9E, 0xDF},   {0x130, 0x130},   {0x10400, 0x10428},
        {0x13F8, 0x13F0}, {0x4E00, 0x4E00}, {0xFF21, 0xFF41}, {0x1E900, 0x1E922},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FoldCase(c.codePoint), c.folded) << std::hex << c.codePoint;
}

TEST(CaseFold, TextFoldsAndLeavesWhatIsNoUtf8AsItIs) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"R\xC3\x89SUM\xC3\x89 r\xC3\xa9sum\xC3\xa9", "r\xC3\xa9sum\xC3\xa9 r\xC3\xa9sum\xC3\xa9"},
        {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91\xCF\x82",  // ΣΟΦΙΑς
         "\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1\xCF\x83"},
        {"\xD0\x94\xD0\x9E\xD0\x9C", "\xD0\xB4\xD0\xBE\xD0\xBC"},  // ДОМ
        {"STRASSE \xC3\x9F \xE1\xBA\x9E", "strasse \xC3\x9F \xC3\x9F"},
        {"\u212Aelvin", "kelvin"},         // shorter once folded
        {"caf\xE9 \xC3", "caf\xE9 \xC3"},  // ISO-8859-1 and a cut sequence
        {"", ""},
    };
    for (const auto& [text, folded] : cases) EXPECT_EQ(FoldCase(text), folded) << text;
}

TEST(TextFinder, FindsTheNeedleWhereverThePiecesAreCut) {
    const std::string text = std::string(3000, 'x') + "needle in the text" + std::string(500, 'y');
    const std::string needles[] = {"needle", "xneedle", "e in the t", "ty", "n"};
    for (const std::string& needle : needles) {
        for (int round = 0; round < 50; ++round) {
            vx::TextFinder finder(needle);
            size_t fedWhenFound = 0;
            for (size_t at = 0; at < text.size() && !finder.Found();) {
                size_t piece = 1 + testing_support::RandomBelow(round < 25 ? 8 : 700);
                finder.Feed(std::string_view(text).substr(at, piece));
                at += piece;
                fedWhenFound = at;
            }
            ASSERT_TRUE(finder.Found()) << needle << " round " << round;
            EXPECT_GE(fedWhenFound, text.find(needle) + needle.size()) << needle;
        }
    }
    vx::TextFinder finder("abc");
    EXPECT_FALSE(finder.Feed("xxab"));
    finder.Break();  // a new text: the "ab" before cannot join
    EXPECT_FALSE(finder.Feed("cx"));
    EXPECT_TRUE(finder.Feed("abc"));
    EXPECT_TRUE(vx::TextFinder("").Feed(""));
}

}  // namespace
