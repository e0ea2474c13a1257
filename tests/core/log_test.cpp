#include "core/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <thread>

#include "core/clock.h"
#include "core/dir_util.h"
#include "core/file_util.h"
#include "tests/support/log_watch.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_platform.h"

namespace {

using testing_support::LogWatch;

// Line ends are the platform's: LF on Linux, CR LF on Windows.
TEST(Log, LineHasTimeStampTabHyphenTabTextLineEnd) {
    EXPECT_EQ(vxw::FormatLogLine({2009, 3, 7, 8, 5, 9}, "Starting - 3.6"),
              std::string("2009-03-07 08:05:09\t-\tStarting - 3.6") + kLogLineEnd);
    LogWatch watch;
    // A text with line breaks (an error page) stays one line with its stamp.
    ASSERT_TRUE(Log("first\r\nsecond\nthird"));
    std::string text = watch.NewText();
    EXPECT_TRUE(std::regex_match(
        text, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\t-\tfirst\t\tsecond\tthird" +
                         std::string(kLogLineEnd))))
        << text;
}

// A session's protocol and account go before every line its thread logs,
// and before no other thread's; the conversation's lines go without them.
TEST(Log, AContextNamesTheLinesOfItsThreadOnly) {
    LogWatch watch;
    vx::Str context = "POP3";
    {
        LogContext session(context);
        Log("before the login");
        context = "POP3 alice";
        Log("after it");
        LogWithoutContext("PopSession::Client - QUIT");
        std::thread other([] { Log("another thread"); });
        other.join();
    }
    Log("afterwards");
    EXPECT_EQ(watch.NewLines(),
              (std::vector<std::string>{"POP3 - before the login", "POP3 alice - after it",
                                        "PopSession::Client - QUIT", "another thread",
                                        "afterwards"}));
}

TEST(Log, TwoThreadsNeverInterleaveWithinALine) {
    LogWatch watch;
    const std::string a(300, 'a'), b(300, 'b');
    std::thread one([&] {
        for (int i = 0; i < 300; ++i) Log(a);
    });
    std::thread two([&] {
        for (int i = 0; i < 300; ++i) Log(b);
    });
    one.join();
    two.join();
    auto lines = watch.NewLines();
    ASSERT_EQ(lines.size(), 600u);
    for (const auto& line : lines) EXPECT_TRUE(line == a || line == b);
}

TEST(Log, DeletedFileIsCreatedAgainAndClearLogLeavesOneLine) {
    std::remove(LogFilePath().c_str());
    EXPECT_TRUE(Log("after delete"));
    std::string text;
    ASSERT_TRUE(LoadFile(LogFilePath(), text));
    EXPECT_NE(text.find("\t-\tafter delete" + std::string(kLogLineEnd)), std::string::npos);

    ClearLog();
    ASSERT_TRUE(LoadFile(LogFilePath(), text));
    EXPECT_EQ(text.substr(19), "\t-\tCleared - 3.6" + std::string(kLogLineEnd));
}

TEST(Log, UnwritableLogLosesTheLineQuietly) {
    using testing_support::UnwritableFile;
    if (!UnwritableFile::Possible()) GTEST_SKIP() << "root writes through read-only modes";
    Log("make sure it exists");
    {
        UnwritableFile locked(LogFilePath());
        EXPECT_FALSE(Log("lost"));
    }
    EXPECT_TRUE(Log("back"));
}

TEST(Log, LogFileInPlaceOfADirectoryLosesLinesWithoutThrowing) {
    std::string path = LogFilePath();
    std::remove(path.c_str());
    ASSERT_TRUE(vxw::DirUtil::CreateFolder(path));
    EXPECT_FALSE(Log("lost"));
    testing_support::RemoveTree(path);
    EXPECT_TRUE(Log("back"));
}

std::vector<std::string> echoed;
void KeepEcho(const vx::Str& line, const vx::Str&, bool written) { echoed.push_back((written ? "file: " : "") + line); }

// With no file chosen ("--log -" of the Linux program) every line reaches
// the echo, none a file; the platform's place comes back when chosen again.
TEST(Log, WithoutAFileLinesGoOnlyToTheEcho) {
    std::string place = LogFilePath();
    LogWatch watch;
    SetLogEcho(KeepEcho);
    SetLogFile("");
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_FALSE(Log("to the echo"));
    SetLogFile(place);
    EXPECT_TRUE(Log("to both"));
    SetLogEcho(nullptr);
    ASSERT_EQ(echoed.size(), 2u);
    EXPECT_EQ(echoed[0].substr(19), "\t-\tto the echo" + std::string(kLogLineEnd));
    EXPECT_EQ(echoed[1].substr(0, 6), "file: ");
    EXPECT_EQ(watch.NewLines(), std::vector<std::string>{"to both"});
}

TEST(FileUtil, SaveAppendLoad) {
    testing_support::TempDir dir;
    std::string file = dir.File("f.bin");
    std::string text;
    EXPECT_FALSE(LoadFile(file, text));
    EXPECT_TRUE(AppendToFile(file, ""));
    EXPECT_FALSE(LoadFile(file, text)) << "an empty append must not create the file";
    EXPECT_TRUE(SaveToFile(file, std::string("a\0b", 3)));
    EXPECT_TRUE(AppendToFile(file, "\r\n"));
    ASSERT_TRUE(LoadFile(file, text));
    EXPECT_EQ(text, std::string("a\0b\r\n", 5));
    EXPECT_TRUE(SaveToFile(file, "new"));
    ASSERT_TRUE(LoadFile(file, text));
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(SaveToFile(dir.File("missing/f"), "x"));
}

}  // namespace
