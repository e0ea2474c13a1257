#include "app/options.h"

#include <gtest/gtest.h>

#include "app/settings_command.h"
#include "settings/config_fields.h"

namespace {

using app::Options;
using Action = Options::Action;

Options Parse(std::vector<vx::Str> arguments) { return app::ParseOptions(arguments); }

vx::Str UsageErrorOf(std::vector<vx::Str> arguments) {
    try {
        app::ParseOptions(arguments);
    } catch (const app::UsageError& e) {
        return e.text;
    }
    return "(taken)";
}

TEST(Options, WhatEachCommandLineAsksFor) {
    EXPECT_EQ(Parse({}).action, Action::Run);
    EXPECT_EQ(Parse({"--version", "/hklm"}).action, Action::Version);
    EXPECT_EQ(Parse({"--get", "-h"}).action, Action::Help);  // help wins
    Options detach = Parse({"/HKLM", "/detach", "--log", "-", "/hideicon"});
    EXPECT_EQ(detach.action, Action::Detach);
    EXPECT_TRUE(detach.localMachine);
    EXPECT_EQ(app::ArgumentsForCopy(detach), (std::vector<vx::Str>{"/hklm", "--log", "-"}));
    Options config = Parse({"--config=/a b/m.reg", "--get", "Port"});
    EXPECT_EQ(config.configFile, "/a b/m.reg");
    EXPECT_EQ(config.action, Action::Get);
    EXPECT_EQ(config.getName, "Port");
    EXPECT_EQ(app::ArgumentsForCopy(config), (std::vector<vx::Str>{"--config", "/a b/m.reg"}));
    EXPECT_EQ(Parse({"--get", "--log", "x"}).getName, "");
    Options set = Parse({"--set", "Port=1", "ProxyPassword=a=b", "--config", "f"});
    EXPECT_EQ(set.assignments, (std::vector<vx::Str>{"Port=1", "ProxyPassword=a=b"}));
    EXPECT_EQ(set.configFile, "f");
}

TEST(Options, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<vx::Str> arguments;
        vx::Str error;
    } cases[] = {
        {{"--bogus"}, "unknown argument --bogus"},
        {{"/DETACH"}, "unknown argument /DETACH"},  // the relaunch switch has one spelling
        {{"/detach", "x"}, "unknown argument x"},
        {{"/hklmx"}, "unknown argument /hklmx"},
        {{"--config"}, "--config needs a value"},
        {{"--config="}, "--config needs a file"},
        {{"--log"}, "--log needs a value"},
        {{"--set"}, "--set needs at least one NAME=VALUE"},
        {{"--set", "Port"}, "--set takes NAME=VALUE, not Port"},
        {{"--set", "=1"}, "--set takes NAME=VALUE, not =1"},
        {{"--get", "--set", "Port=1"}, "--set cannot be combined with the other action given"},
        {{"/detach", "--get"}, "--get cannot be combined with the other action given"},
        {{"/hklm", "--config", "f"}, "/hklm and --config name two different settings files"},
    };
    for (const Case& c : cases) EXPECT_EQ(UsageErrorOf(c.arguments), c.error);
}

// Numbers in plain decimal within their range, flags 0 or 1, texts on one
// line; a refusal names the setting and what it takes, never a password.
TEST(SettingsCommand, AssignmentsAreCheckedBeforeAnythingChanges) {
    struct Case {
        vx::Str assignment;
        vx::Str error;  // empty: taken
    } cases[] = {
        {"port=1", ""},
        {"Port=65535", ""},
        {"Port=0", "Port takes a port from 1 to 65535, not \"0\""},
        {"Port=65536", "Port takes a port from 1 to 65535, not \"65536\""},
        {"Port=0x6e", "Port takes a port from 1 to 65535, not \"0x6e\""},
        {"Port= 110", "Port takes a port from 1 to 65535, not \" 110\""},
        {"Port=99999999999", "Port takes a port from 1 to 65535, not \"99999999999\""},
        {"PortImap=0", ""},
        {"ProxyPort=0", ""},
        {"Timeout=0", "Timeout takes seconds from 1 to 2147483, not \"0\""},
        {"Timeout=2147484", "Timeout takes seconds from 1 to 2147483, not \"2147484\""},
        {"Delay=0", ""},
        {"ExtraLogging=1", ""},
        {"ExtraLogging=2", "ExtraLogging takes 0 or 1, not \"2\""},
        {"ExtraLogging=yes", "ExtraLogging takes 0 or 1, not \"yes\""},
        {"Address=", "Address takes an address to listen on, such as 127.0.0.1"},
        {"ProxyAddress=", ""},
        {"ProxyPassword=line\nbreak", "ProxyPassword takes text on one line, without control characters"},
        {"Prot=1", "there is no setting Prot; the settings are Address, Port, PortSmtp, PortImap, Timeout, "
                   "Delay, CheckOtherFolders, CheckBulkFolder, CheckSentFolder, ExtraLogging, OperaCompat, "
                   "ProxyAddress, ProxyPort, ProxyUsername, ProxyPassword"},
        {"ver-3.6=1", "there is no setting ver-3.6; the settings are Address, Port, PortSmtp, PortImap, "
                      "Timeout, Delay, CheckOtherFolders, CheckBulkFolder, CheckSentFolder, ExtraLogging, "
                      "OperaCompat, ProxyAddress, ProxyPort, ProxyUsername, ProxyPassword"},
    };
    for (const Case& c : cases) {
        Config::Values values;
        vx::Str error;
        try {
            app::ApplyAssignment(values, c.assignment);
        } catch (const app::UsageError& e) {
            error = e.text;
        }
        EXPECT_EQ(error, c.error) << c.assignment;
    }
}

TEST(SettingsCommand, ValuesAreShownWithTheirTypesAndThePasswordNever) {
    Config::Values values;
    app::ApplyAssignment(values, "Port=11110");
    app::ApplyAssignment(values, "checkbulkfolder=1");
    app::ApplyAssignment(values, "ProxyAddress=proxy.example");
    EXPECT_EQ(app::ShowSetting(values, "port"), "11110");
    EXPECT_EQ(app::ShowSetting(values, "CheckBulkFolder"), "1");
    EXPECT_EQ(app::ShowSetting(values, "ProxyPassword"), "(not set)");
    app::ApplyAssignment(values, "ProxyPassword=s3cret");
    EXPECT_EQ(values.proxyPassword, "s3cret");
    vx::Str list = app::ListSettings(values);
    EXPECT_EQ(list.find("s3cret"), vx::Str::npos);
    EXPECT_NE(list.find("\nProxyPassword=(set)\n"), vx::Str::npos);
    EXPECT_NE(list.find("\nPort=11110\nPortSmtp=25\n"), vx::Str::npos);
    EXPECT_EQ(list.substr(0, list.find('\n')), "Address=");
}

}  // namespace
