#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/config.h"
#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
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
        EXPECT_EQ(
            e.Message(),
            "Config::LoadConfig::Create - Error creating key - Software\\Palisandre\\Mirelink");
        EXPECT_EQ(e.Code(), 0);
    }
    rmdir(StorePath().c_str());
    // The temporary file of every write is blocked, so no write succeeds, root or not.
    vxw::DirUtil::CreatePath(StorePath() + ".tmp");
    try {
        Config config;
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Config::SaveConfig::SetValue - Error setting value - Address - 127.0.0.1");
    }
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
