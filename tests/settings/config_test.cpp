#include "settings/config.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/exception.h"
#include "settings/config_defaults.h"
#include "settings/password.h"
#include "tests/support/settings_sandbox.h"

namespace {

std::string DwordLine(const char* name, int32_t number) {
    char text[64];
    std::snprintf(text, sizeof text, "\"%s\"=dword:%08x\r\n", name, static_cast<unsigned>(number));
    return text;
}

// Each case gets an empty settings store of its own.
class ConfigTest : public testing::Test {
protected:
    std::string Stored() const { return store.Export(); }
    testing_support::SettingsSandbox store;
};

TEST_F(ConfigTest, FirstRunWritesDefaultsAndRaisesBothFlagsOnce) {
    Config config;
    std::string stored = Stored();
    // The ports are the platform's: see config_file_test.cpp for Linux's.
    EXPECT_NE(stored.find(DwordLine("Port", kDefaultPorts.pop)), std::string::npos);
    EXPECT_NE(stored.find(DwordLine("PortSmtp", kDefaultPorts.smtp)), std::string::npos);
    for (const char* line :
         {"\"Address\"=\"127.0.0.1\"", "\"Timeout\"=dword:00000078", "\"Delay\"=dword:0000000a",
          "\"CheckOtherFolders\"=dword:00000000", "\"CheckBulkFolder\"=dword:00000000",
          "\"CheckSentFolder\"=dword:00000000", "\"ExtraLogging\"=dword:00000000",
          "\"OperaCompat\"=dword:00000000", "\"ProxyAddress\"=\"\"", "\"ProxyPort\"=dword:00000000",
          "\"ProxyUsername\"=\"\"", "\"ProxyPassword\"=\" ~ ~ GkFce2gmE98=\"",
          "\"ver-3.6\"=dword:00000001"}) {
        EXPECT_NE(stored.find(std::string(line) + "\r\n"), std::string::npos) << line;
    }
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
    store.Write(
        "\"Address\"=\"10.0.0.1\"\r\n\"Port\"=dword:00000456\r\n\"ProxyPassword\"=\" ~ ~ "
        "GkFce2gmE98=\"\r\n");
    Config config;
    EXPECT_EQ(config.Address(), "10.0.0.1");
    EXPECT_EQ(config.Port(), 1110);
    EXPECT_EQ(config.PortSmtp(), kDefaultPorts.smtp);
    EXPECT_EQ(config.PortImap(), 0);  // settings from before IMAP keep it off
    EXPECT_EQ(config.Timeout(), 120);
    EXPECT_FALSE(config.TakeFirstRunFlag());
    EXPECT_EQ(Stored().find("ver-3.6"), std::string::npos);
    EXPECT_TRUE(config.TakeNewVersionFlag());
    EXPECT_NE(Stored().find("\"ver-3.6\"=dword:00000001"), std::string::npos);
    EXPECT_FALSE(config.TakeNewVersionFlag());
}

// A number written as text by hand is the number it says (the registry would
// read the text's first four bytes: "60" became 12,342), other text keeps
// the default, and the store is rewritten with the numbers used.
TEST_F(ConfigTest, NumbersAndFlagsWrittenOtherwiseReadAsWhatTheySay) {
    store.Write(
        "\"Address\"=\"127.0.0.1\"\r\n"
        "\"ExtraLogging\"=dword:00000002\r\n"  // only exactly 1 is on
        "\"OperaCompat\"=\"1\"\r\n"
        "\"Port\"=\"110\"\r\n"
        "\"PortSmtp\"=\"2525\"\r\n"
        "\"PortImap\"=\"abc\"\r\n"            // no number: the default (off)
        "\"Delay\"=hex:05\r\n"                 // one byte of another type: read as the registry does
        "\"Timeout\"=dword:zz\r\n"             // unreadable line: default
        "\"ProxyAddress\"=dword:00000001\r\n"  // a number where text belongs: empty
        "\"ProxyPassword\"=\" ~ ~ GkFce2gmE98=\"\r\n"
        "\"ver-3.6\"=dword:00000001\r\n");
    Config config;
    EXPECT_FALSE(config.ExtraLogging());
    EXPECT_TRUE(config.OperaCompat());
    EXPECT_EQ(config.Port(), 110);
    EXPECT_EQ(config.PortSmtp(), 2525);
    EXPECT_EQ(config.PortImap(), 0);
    EXPECT_EQ(config.Delay(), 5);
    EXPECT_EQ(config.Timeout(), 120);
    EXPECT_EQ(config.ProxyAddress(), "");
    EXPECT_FALSE(config.TakeNewVersionFlag());
    for (const char* line : {"\"OperaCompat\"=dword:00000001", "\"Port\"=dword:0000006e",
                             "\"PortSmtp\"=dword:000009dd", "\"PortImap\"=dword:00000000", "\"Delay\"=dword:00000005"})
        EXPECT_NE(Stored().find(line), std::string::npos) << line;
}

// A session keeps the values it started with while the settings change.
TEST_F(ConfigTest, APinnedThreadReadsTheValuesItStartedWith) {
    Config config;
    Config::Values values = config.GetValues();
    std::atomic<int> stage{0};
    int32_t seenPort = 0;
    std::string seenProxy;
    std::thread session([&] {
        Config::Pin pin(config.GetValues());
        stage = 1;
        while (stage != 2) std::this_thread::yield();
        seenPort = config.Port();
        seenProxy = config.GetValues().proxyAddress;
    });
    while (stage != 1) std::this_thread::yield();
    values.port = 2110;
    values.proxyAddress = "changed";
    config.SetValues(values);
    stage = 2;
    session.join();
    EXPECT_EQ(seenPort, kDefaultPorts.pop);
    EXPECT_EQ(seenProxy, "");
    EXPECT_EQ(config.Port(), 2110);
}

// Absent means off, and a store that never had the value is not given it;
// once the store holds it (a first start that turned IMAP on, or the user),
// it stays, also as 0.
TEST_F(ConfigTest, PortImapIsStoredOnlyOnceOnOrOnceStored) {
    {
        Config config;
        EXPECT_EQ(config.PortImap(), kDefaultPorts.imapFirstRun);
        EXPECT_EQ(Stored().find("PortImap") != std::string::npos, kDefaultPorts.imapFirstRun != 0);
    }
    testing_support::SettingsSandbox older;
    older.Write("\"Address\"=\"127.0.0.1\"\r\n\"ver-3.6\"=dword:00000001\r\n");
    Config config;
    config.SaveConfig();
    EXPECT_EQ(older.Export().find("PortImap"), std::string::npos);
    Config::Values values = config.GetValues();
    values.portImap = 1993;
    config.SetValues(values);
    EXPECT_NE(older.Export().find(DwordLine("PortImap", 1993)), std::string::npos);
    values.portImap = 0;
    config.SetValues(values);
    EXPECT_NE(older.Export().find(DwordLine("PortImap", 0)), std::string::npos);
    EXPECT_EQ(Config().PortImap(), 0);
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
    // Garbage is no password: it is reported, and what the store holds stays.
    stored = " ~ ~ not*base64";
    try {
        vx::UnprotectPassword(stored);
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message().rfind("vx::UnprotectPassword::Cipher - The stored password cannot be read - error:", 0),
                  0u)
            << e.Message();
    }
    EXPECT_EQ(stored, " ~ ~ not*base64");
}

TEST_F(ConfigTest, ClearTextPasswordIsRewrittenProtectedAtOnce) {
    store.Write(
        "\"Address\"=\"127.0.0.1\"\r\n\"ProxyPassword\"=\"secret\"\r\n\"ver-3.6\"=dword:"
        "00000001\r\n");
    Config config;
    EXPECT_EQ(config.ProxyPassword(), "secret");
    EXPECT_NE(Stored().find("\"ProxyPassword\"=\" ~ ~ hxHm8Sp2Abg=\""), std::string::npos);
    Config again;
    EXPECT_EQ(again.ProxyPassword(), "secret");
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

}  // namespace
