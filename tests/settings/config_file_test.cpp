#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "core/log.h"
#include "settings/config.h"
#include "tests/support/log_watch.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kHeader =
    "Windows Registry Editor Version "
    "5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n";

// The settings file itself: its exact bytes, its mode, and what happens when
// it cannot be read or written. Each case gets an empty settings folder.
class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1); }
    std::string StorePath() const { return home.Path() + "/Palisandre/Mirelink.reg"; }
    void WriteStore(const std::string& body) {
        vxw::DirUtil::CreatePath(home.Path() + "/Palisandre");
        ASSERT_TRUE(SaveToFile(StorePath(), kHeader + body));
    }
    std::string ReadStore() const {
        std::string text;
        LoadFile(StorePath(), text);
        return text;
    }
    testing_support::TempDir home;
};

// A normal user cannot bind below 1024: the first start takes POP3 on 1110,
// SMTP on 1025 and IMAP on 1143.
TEST_F(ConfigFileTest, FirstRunWritesTheDefaultsInTheProgramsOrderReadableByTheUserOnly) {
    Config config;
    EXPECT_EQ(ReadStore(), kHeader +
                               "\"Address\"=\"127.0.0.1\"\r\n"
                               "\"Port\"=dword:00000456\r\n"
                               "\"PortSmtp\"=dword:00000401\r\n"
                               "\"PortImap\"=dword:00000477\r\n"
                               "\"Timeout\"=dword:00000078\r\n"
                               "\"Delay\"=dword:0000000a\r\n"
                               "\"CheckOtherFolders\"=dword:00000000\r\n"
                               "\"CheckBulkFolder\"=dword:00000000\r\n"
                               "\"CheckSentFolder\"=dword:00000000\r\n"
                               "\"ExtraLogging\"=dword:00000000\r\n"
                               "\"OperaCompat\"=dword:00000000\r\n"
                               "\"ProxyAddress\"=\"\"\r\n"
                               "\"ProxyPort\"=dword:00000000\r\n"
                               "\"ProxyUsername\"=\"\"\r\n"
                               "\"ProxyPassword\"=\" ~ ~ GkFce2gmE98=\"\r\n"
                               "\"ver-3.6\"=dword:00000001\r\n");
    struct stat info;
    ASSERT_EQ(stat(StorePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ConfigFileTest, FileWrittenByTheProgramEditedByHandReadsBack) {
    {
        Config config;
        Config::Values values = config.GetValues();
        values.proxyAddress = "proxy.example \"lab\"";
        values.proxyPassword = "p@ss word";
        values.checkBulkFolder = true;
        config.SetValues(values);
    }
    std::string text = ReadStore();
    size_t at = text.find("\"Port\"=dword:00000456");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 21, "\"port\"=dword:0000045a");
    text += "\"Unknown\"=\"kept\"\r\n";
    ASSERT_TRUE(SaveToFile(StorePath(), text));

    Config config;
    EXPECT_EQ(config.Port(), 1114);
    EXPECT_EQ(config.ProxyAddress(), "proxy.example \"lab\"");
    EXPECT_EQ(config.ProxyPassword(), "p@ss word");
    EXPECT_TRUE(config.CheckBulkFolder());
    config.SaveConfig();
    EXPECT_NE(ReadStore().find("\"Unknown\"=\"kept\""), std::string::npos);
}

TEST_F(ConfigFileTest, StoreThatCannotBeOpenedOrWrittenGivesTheTexts) {
    vxw::DirUtil::CreatePath(StorePath());  // a folder in place of the file
    try {
        Config config;
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "Config::LoadConfig::Create - Error creating key - Software\\Palisandre\\Mirelink - " +
                                   StorePath() + " - Is a directory");
        EXPECT_EQ(e.Code(), 0);
    }
    rmdir(StorePath().c_str());
    // The temporary file of every write is blocked, so no write succeeds, root or not.
    vxw::DirUtil::CreatePath(StorePath() + ".tmp");
    try {
        Config config;
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "Config::SaveConfig::SetValue - Error setting value - Address - 127.0.0.1 - " +
                                   StorePath() + ".tmp - Is a directory");
    }
}

// A mistake made by hand is logged with the file and line and the value keeps
// its default; the password is never shown, not even from a broken line.
TEST_F(ConfigFileTest, WhatCannotBeReadIsLoggedWithFileAndLine) {
    WriteStore(
        "\"Address\"=\"127.0.0.1\"\r\n"             // line 4
        "\"Port\"=dward:0000045a\r\n"                 // 5: misspelt type
        "\"PortSmtp\"=dword:00000401\r\n"
        "\"Delay\"=dword:0000zz00\r\n"                // 7: bad hex
        "\"Timeout\"=\"6O\"\r\n"                      // 8: a text where a number belongs, a typo in it
        "\"ProxyAdress\"=\"proxy\"\r\n"               // 9: a name the program does not know
        "\"ProxyPassword\"=\"sec\"ret\r\n"            // 10: a quote too many
        "\"UpdateServer\"=\"localhost:8080\"\r\n"
        "\"ver-3.5\"=dword:00000001\r\n"
        "\"ver-3.6\"=dword:00000001\r\n");
    testing_support::LogWatch log;
    Config config;
    EXPECT_EQ(config.Port(), 1110);
    EXPECT_EQ(config.Delay(), 10);
    EXPECT_EQ(config.Timeout(), 120);
    EXPECT_EQ(config.ProxyPassword(), "");
    const std::string file = StorePath();
    EXPECT_EQ(log.NewLines(),
              (std::vector<std::string>{
                  "Config::LoadConfig::Line - A line that is no value, its setting keeps its default - " + file +
                      ":5 - \"Port\"=dward:0000045a",
                  "Config::LoadConfig::Line - A line that is no value, its setting keeps its default - " + file +
                      ":7 - \"Delay\"=dword:0000zz00",
                  "Config::LoadConfig::Line - A line that is no value, its setting keeps its default - " + file +
                      ":10 - \"ProxyPassword\"=****",
                  "Config::LoadConfig::Name - A value the program does not know, ignored - " + file +
                      ":9 - ProxyAdress",
                  "Config::LoadConfig::Type - Not a number, the default is used - " + file +
                      ":8 - Timeout - read \"6O\" - used 120",
              }));
}

// Value lines alone, as a user types them: the current user's key. Saved, the
// file gets its first line and key line, and no value twice.
TEST_F(ConfigFileTest, ValueLinesWithoutAKeyLineAreTheUsersSettings) {
    vxw::DirUtil::CreatePath(home.Path() + "/Palisandre");
    ASSERT_TRUE(SaveToFile(StorePath(), "\"Address\"=\"127.0.0.1\"\n\"Port\"=dword:00002b66\n"));
    testing_support::LogWatch log;
    Config config;
    EXPECT_EQ(config.Port(), 11110);
    EXPECT_FALSE(config.TakeFirstRunFlag());
    EXPECT_TRUE(log.WaitFor("vxw::RegistryKey::Create::NoKey - The settings file has values but no key line; "
                            "they are read as the key's - " + StorePath() +
                            " - [HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]"));
    EXPECT_TRUE(config.TakeNewVersionFlag());  // saves
    std::string text = ReadStore();
    EXPECT_EQ(text.rfind(kHeader + "\"Address\"=\"127.0.0.1\"\r\n\"Port\"=dword:00002b66\r\n", 0), 0u) << text;
    EXPECT_EQ(text.find("\"Port\"", text.find("\"Port\"") + 1), std::string::npos) << text;
}

// Bytes that are no settings file are moved aside, not appended to, and the
// program starts afresh: the user can still see what the file held.
TEST_F(ConfigFileTest, AFileThatCannotBeReadIsMovedAsideAndTheStartIsAFirstOne) {
    const char utf16[] = "\"\0P\0o\0r\0t\0\"\0=\0d\0w\0o\0r\0d\0:\0\r\0\n\0";  // without its mark
    const std::string cases[] = {
        "",
        kHeader.substr(0, 50),
        "#!/bin/sh\necho not settings\n",
        std::string(utf16, sizeof utf16 - 1),
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        vxw::DirUtil::CreatePath(home.Path() + "/Palisandre");
        ASSERT_TRUE(SaveToFile(StorePath(), bytes));
        testing_support::LogWatch log;
        Config config;
        EXPECT_TRUE(config.TakeFirstRunFlag());
        EXPECT_EQ(ReadStore().rfind(kHeader + "\"Address\"=\"127.0.0.1\"\r\n", 0), 0u);
        std::string aside;
        ASSERT_TRUE(LoadFile(StorePath() + ".unreadable", aside));
        EXPECT_EQ(aside, bytes);
        EXPECT_EQ(log.NewLines().at(0), "vxw::RegistryKey::Create::Unreadable - The settings file could not be "
                                        "read and was moved aside - " + StorePath() + " - " + StorePath() +
                                            ".unreadable");
        std::remove(StorePath().c_str());
    }
}

// An empty or non-text address would listen on every network; a time-out of
// 0 would make every wait end at once. Both are read as usable values, said
// in the log, and a save never writes the empty address back.
TEST_F(ConfigFileTest, UnusableAddressAndTimeOutAreReadAsTheDefaults) {
    for (const char* address : {"\"Address\"=\"\"", "\"Address\"=dword:7f000001"}) {
        SCOPED_TRACE(address);
        WriteStore(std::string(address) + "\r\n\"Timeout\"=dword:ffffffff\r\n\"ver-3.6\"=dword:00000001\r\n");
        testing_support::LogWatch log;
        Config config;
        EXPECT_EQ(config.Address(), "127.0.0.1");
        EXPECT_EQ(config.Timeout(), 120);
        std::vector<std::string> lines = log.NewLines();
        EXPECT_EQ(lines.at(lines.size() - 2),
                  "Config::LoadConfig::Address - No address to listen on, 127.0.0.1 is used - " + StorePath() + ":4");
        EXPECT_EQ(lines.back(), "Config::LoadConfig::Timeout - A time-out must be above 0, 120 seconds are used - " +
                                    StorePath() + ":5 - -1");
        config.SaveConfig();
        EXPECT_NE(ReadStore().find("\"Address\"=\"127.0.0.1\"\r\n"), std::string::npos);
    }
}

// A stored protected password that does not decrypt is said in the log and
// kept as it is; only a new password replaces it.
TEST_F(ConfigFileTest, AStoredPasswordThatCannotBeReadIsLoggedAndKept) {
    WriteStore("\"Address\"=\"127.0.0.1\"\r\n\"ProxyPassword\"=\" ~ ~ AAAAAAAAAAA=\"\r\n\"ver-3.6\"=dword:00000001\r\n");
    testing_support::LogWatch log;
    Config config;
    EXPECT_EQ(config.ProxyPassword(), "");
    EXPECT_TRUE(log.WaitFor("Config::LoadConfig::ProxyPassword - vx::UnprotectPassword::Cipher - The stored "
                            "password cannot be read - "));
    Config::Values values = config.GetValues();
    values.delay = 0;
    config.SetValues(values);
    EXPECT_NE(ReadStore().find("\"ProxyPassword\"=\" ~ ~ AAAAAAAAAAA=\"\r\n"), std::string::npos);
    values.proxyPassword = "secret";
    config.SetValues(values);
    EXPECT_NE(ReadStore().find("\"ProxyPassword\"=\" ~ ~ hxHm8Sp2Abg=\"\r\n"), std::string::npos);
}

// A file begun by hand without an address is a first start, but what it
// holds is not overwritten by defaults.
TEST_F(ConfigFileTest, AFirstStartKeepsTheValuesTheFileHolds) {
    WriteStore("\"Port\"=dword:00002b66\r\n\"ProxyAddress\"=\"proxy\"\r\n");
    Config config;
    EXPECT_TRUE(config.TakeFirstRunFlag());
    EXPECT_EQ(config.Port(), 11110);
    EXPECT_EQ(config.PortSmtp(), 1025);
    EXPECT_EQ(config.ProxyAddress(), "proxy");
    EXPECT_NE(ReadStore().find("\"Port\"=dword:00002b66\r\n"), std::string::npos);
}

// A reload while the program runs finds the file broken, or gone: the values
// in use stay, the file stays where it is for the user to mend, and a
// mended file is read at the next reload.
TEST_F(ConfigFileTest, AReloadThatCannotReadTheFileKeepsTheValuesAndTheFile) {
    WriteStore("\"Address\"=\"127.0.0.1\"\r\n\"Port\"=dword:00002b66\r\n\"ProxyAddress\"=\"proxy\"\r\n"
               "\"ver-3.6\"=dword:00000001\r\n");
    Config config;
    for (const char* broken : {"#!/bin/sh\n", ""}) {
        SCOPED_TRACE(broken);
        ASSERT_TRUE(SaveToFile(StorePath(), broken));
        try {
            config.ReloadConfig();
            ADD_FAILURE() << "no failure";
        } catch (const vx::Exception& e) {
            EXPECT_EQ(e.Message(), "Config::LoadConfig::Create - Error creating key - Software\\Palisandre\\Mirelink - " +
                                       StorePath() + " - No settings file: its bytes cannot be read as one");
        }
        EXPECT_EQ(config.Port(), 11110);
        EXPECT_EQ(config.ProxyAddress(), "proxy");
        EXPECT_EQ(ReadStore(), broken);
        EXPECT_FALSE(vxw::DirUtil::FileExists(StorePath() + ".unreadable"));
    }
    std::remove(StorePath().c_str());
    EXPECT_THROW(config.ReloadConfig(), vx::Exception);
    EXPECT_EQ(config.Port(), 11110);
    EXPECT_FALSE(vxw::DirUtil::FileExists(StorePath()));
    WriteStore("\"Address\"=\"127.0.0.1\"\r\n\"Port\"=dword:00002b67\r\n\"ver-3.6\"=dword:00000001\r\n");
    config.ReloadConfig();
    EXPECT_EQ(config.Port(), 11111);
}

// What --get reads: nothing is made, not the folder, not the defaults, not a
// password protected anew.
TEST_F(ConfigFileTest, AReadOnlyLoadWritesNothing) {
    Config::Values first = Config(Config::ReadOnly{}).GetValues();
    EXPECT_EQ(first.port, 1110);
    EXPECT_FALSE(vxw::DirUtil::FolderExists(home.Path() + "/Palisandre"));
    WriteStore("\"Address\"=\"127.0.0.1\"\r\n\"Timeout\"=\"60\"\r\n\"ProxyPassword\"=\"clear\"\r\n");
    const std::string before = ReadStore();
    Config::Values read = Config(Config::ReadOnly{}).GetValues();
    EXPECT_EQ(read.timeout, 60);
    EXPECT_EQ(read.proxyPassword, "clear");
    EXPECT_EQ(ReadStore(), before);
}

// What --set refuses is refused in the file too, and said: a service on the
// port of another keeps its default (IMAP is off), and an address the
// services cannot listen on (they speak IPv4) is read as 127.0.0.1.
TEST_F(ConfigFileTest, ClashingPortsAndAnAddressThatCannotBeListenedOnAreReadAsDefaults) {
    WriteStore("\"Address\"=\"::1\"\r\n\"Port\"=dword:00002b66\r\n\"PortSmtp\"=dword:00002b66\r\n"
               "\"PortImap\"=dword:00002b66\r\n\"ver-3.6\"=dword:00000001\r\n");
    testing_support::LogWatch log;
    Config config;
    EXPECT_EQ(config.Address(), "127.0.0.1");
    EXPECT_EQ(config.PortSmtp(), 1025);
    EXPECT_EQ(config.PortImap(), 0);
    const std::string file = StorePath();
    EXPECT_EQ(log.NewLines(),
              (std::vector<std::string>{
                  "Config::LoadConfig::Address - An address the services cannot listen on, 127.0.0.1 is used - " +
                      file + ":4 - ::1",
                  "Config::LoadConfig::Port - A port another service has, the default is used - " + file +
                      ":6 - PortSmtp - read 11110 - used 1025",
                  "Config::LoadConfig::Port - A port another service has, the default is used - " + file +
                      ":7 - PortImap - read 11110 - used 0",
              }));
}

// A Windows path or a password with backslashes in it, written and read back.
TEST_F(ConfigFileTest, TextsWithBackslashesComeBackUnchanged) {
    Config::Values values;
    {
        Config config;
        values = config.GetValues();
        values.proxyUsername = "DOMAIN\\ann";
        values.proxyAddress = "\\\\proxy\\share\\";
        values.proxyPassword = "a\\\"b\\";
        config.SetValues(values);
    }
    EXPECT_NE(ReadStore().find("\"ProxyUsername\"=\"DOMAIN\\\\ann\"\r\n"), std::string::npos) << ReadStore();
    Config again;
    EXPECT_EQ(again.ProxyUsername(), "DOMAIN\\ann");
    EXPECT_EQ(again.ProxyAddress(), "\\\\proxy\\share\\");
    EXPECT_EQ(again.ProxyPassword(), "a\\\"b\\");
}

TEST_F(ConfigFileTest, LocalMachineFirstRunKeepsTheCurrentUsersProxy) {
    if (geteuid() != 0 || vxw::DirUtil::FolderExists("/etc/Palisandre")) {
        GTEST_SKIP() << "needs root and no machine-wide settings of a real installation";
    }
    WriteStore(
        "\"Address\"=\"1.2.3.4\"\r\n\"ProxyAddress\"=\"proxy\"\r\n\"ProxyPort\"=dword:"
        "00000050\r\n");
    Config config;
    config.UseLocalMachine();
    testing_support::RemoveTree("/etc/Palisandre");
    EXPECT_EQ(config.Address(), "127.0.0.1");
    EXPECT_EQ(config.ProxyAddress(), "proxy");
    EXPECT_EQ(config.ProxyPort(), 80);
    EXPECT_TRUE(config.TakeFirstRunFlag());
}

}  // namespace
