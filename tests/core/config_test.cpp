#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "core/config.h"
#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "core/password.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kHeader =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n";

// Each case gets an empty settings folder of its own.
class ConfigTest : public testing::Test {
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

TEST_F(ConfigTest, FirstRunWritesDefaultsInOrderAndRaisesBothFlagsOnce) {
    Config config;
    EXPECT_EQ(ReadStore(), kHeader +
                               "\"Address\"=\"127.0.0.1\"\r\n"
                               "\"Port\"=dword:0000006e\r\n"
                               "\"PortSmtp\"=dword:00000019\r\n"
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
    EXPECT_TRUE(config.TakeFirstRunFlag());
    EXPECT_FALSE(config.TakeFirstRunFlag());
    EXPECT_TRUE(config.TakeNewVersionFlag());
    EXPECT_FALSE(config.TakeNewVersionFlag());
    EXPECT_EQ(config.Timeout(), 120);

    Config again;  // the defaults are stored now: no first run
    EXPECT_FALSE(again.TakeFirstRunFlag());
    EXPECT_FALSE(again.TakeNewVersionFlag());
}

TEST_F(ConfigTest, OlderVersionKeepsValuesAndMarksTheNewVersionOnce) {
    WriteStore("\"Address\"=\"10.0.0.1\"\r\n\"Port\"=dword:00000456\r\n\"ProxyPassword\"=\" ~ ~ GkFce2gmE98=\"\r\n");
    Config config;
    EXPECT_EQ(config.Address(), "10.0.0.1");
    EXPECT_EQ(config.Port(), 1110);
    EXPECT_EQ(config.PortSmtp(), 25);
    EXPECT_EQ(config.Timeout(), 120);
    EXPECT_FALSE(config.TakeFirstRunFlag());
    EXPECT_EQ(ReadStore().find("ver-3.6"), std::string::npos);
    EXPECT_TRUE(config.TakeNewVersionFlag());
    EXPECT_NE(ReadStore().find("\"ver-3.6\"=dword:00000001"), std::string::npos);
    EXPECT_FALSE(config.TakeNewVersionFlag());
}

TEST_F(ConfigTest, NumbersAndFlagsReadAsTheRegistryReadsThem) {
    WriteStore(
        "\"Address\"=\"a\"\r\n"
        "\"ExtraLogging\"=dword:00000002\r\n"   // only exactly 1 is on
        "\"OperaCompat\"=dword:00000001\r\n"
        "\"Port\"=\"110\"\r\n"                   // four bytes "110\0": read as a number
        "\"PortSmtp\"=\"2525\"\r\n"              // five bytes: too long, default
        "\"Delay\"=hex:05\r\n"                   // one byte of any type
        "\"Timeout\"=dword:zz\r\n"               // unreadable line: default
        "\"ProxyAddress\"=dword:00000001\r\n"    // a number where text belongs: empty
        "\"ProxyPassword\"=\" ~ ~ GkFce2gmE98=\"\r\n"
        "\"ver-3.6\"=dword:00000001\r\n");
    Config config;
    EXPECT_FALSE(config.ExtraLogging());
    EXPECT_TRUE(config.OperaCompat());
    EXPECT_EQ(config.Port(), 0x00303131);
    EXPECT_EQ(config.PortSmtp(), 25);
    EXPECT_EQ(config.Delay(), 5);
    EXPECT_EQ(config.Timeout(), 120);
    EXPECT_EQ(config.ProxyAddress(), "");
    EXPECT_FALSE(config.TakeNewVersionFlag());
}

TEST(Password, ProtectedFormsMatchTheOpensslCommandLine) {
    // Computed independently with: openssl enc -bf-cbc -md md5 -S 776e717a64786865
    //   -pass 'pass:-p7v2kd4-x81mtq}c3[6r/' -provider legacy -provider default
    EXPECT_EQ(vx::ProtectPassword(""), " ~ ~ GkFce2gmE98=");
    EXPECT_EQ(vx::ProtectPassword("secret"), " ~ ~ hxHm8Sp2Abg=");
    std::string stored = " ~ ~ hxHm8Sp2Abg=";
    EXPECT_TRUE(vx::UnprotectPassword(stored));
    EXPECT_EQ(stored, "secret");
    std::string longer(123, 'p');
    stored = vx::ProtectPassword(longer);  // more than two 50-byte pieces
    EXPECT_TRUE(vx::UnprotectPassword(stored));
    EXPECT_EQ(stored, longer);
    stored = "plain";
    EXPECT_FALSE(vx::UnprotectPassword(stored));
    EXPECT_EQ(stored, "plain");
    stored = " ~ ~ not*base64";  // garbage decrypts to whatever it gives, without failing
    EXPECT_TRUE(vx::UnprotectPassword(stored));
}

TEST_F(ConfigTest, ClearTextPasswordIsRewrittenProtectedAtOnce) {
    WriteStore("\"Address\"=\"127.0.0.1\"\r\n\"ProxyPassword\"=\"secret\"\r\n\"ver-3.6\"=dword:00000001\r\n");
    Config config;
    EXPECT_EQ(config.ProxyPassword(), "secret");
    EXPECT_NE(ReadStore().find("\"ProxyPassword\"=\" ~ ~ hxHm8Sp2Abg=\""), std::string::npos);
    Config again;
    EXPECT_EQ(again.ProxyPassword(), "secret");
}

TEST_F(ConfigTest, FileWrittenByTheProgramEditedByHandReadsBack) {
    {
        Config config;
        Config::Values values = config.GetValues();
        values.proxyAddress = "proxy.example \"lab\"";
        values.proxyPassword = "p@ss word";
        values.checkBulkFolder = true;
        config.SetValues(values);
    }
    std::string text = ReadStore();
    size_t at = text.find("\"Port\"=dword:0000006e");
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

TEST_F(ConfigTest, StoreThatCannotBeOpenedOrWrittenGivesTheTexts) {
    vxw::DirUtil::CreatePath(StorePath());  // a folder in place of the file
    try {
        Config config;
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "Config::LoadConfig::Create - Error creating key - Software\\Palisandre\\Mirelink");
        EXPECT_EQ(e.Code(), 0);
    }
    rmdir(StorePath().c_str());
    // The temporary file of every write is blocked, so no write succeeds, root or not.
    vxw::DirUtil::CreatePath(StorePath() + ".tmp");
    try {
        Config config;
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "Config::SaveConfig::SetValue - Error setting value - Address - 127.0.0.1");
    }
}

TEST_F(ConfigTest, ReadersSeeWholeValuesWhileTheOptionsReplaceThem) {
    Config config;
    Config::Values a = config.GetValues(), b = a;
    a.proxyAddress = std::string(200, 'a');
    b.proxyAddress = std::string(300, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            std::string seen = config.ProxyAddress();
            if (!seen.empty() && seen != a.proxyAddress && seen != b.proxyAddress) ++torn;
        }
    });
    for (int i = 0; i < 50; ++i) config.SetValues(i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(ConfigTest, LocalMachineFirstRunKeepsTheCurrentUsersProxy) {
    if (geteuid() != 0 || vxw::DirUtil::FolderExists("/etc/Palisandre")) {
        GTEST_SKIP() << "needs root and no machine-wide settings of a real installation";
    }
    WriteStore("\"Address\"=\"1.2.3.4\"\r\n\"ProxyAddress\"=\"proxy\"\r\n\"ProxyPort\"=dword:00000050\r\n");
    Config config;
    config.UseLocalMachine();
    testing_support::RemoveTree("/etc/Palisandre");
    EXPECT_EQ(config.Address(), "127.0.0.1");
    EXPECT_EQ(config.ProxyAddress(), "proxy");
    EXPECT_EQ(config.ProxyPort(), 80);
    EXPECT_TRUE(config.TakeFirstRunFlag());
}

}  // namespace
