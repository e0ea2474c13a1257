#include "core/log_priority.h"

#include <gtest/gtest.h>

namespace {

// What journalctl -p err and --status take for an error, as the program's
// texts are written; a mail client's words never pass for one.
TEST(LogPriority, TextsSortIntoErrorsWarningsAndNotices) {
    const struct {
        const char* text;
        LogPriority priority;
    } kCases[] = {
        {"PopServer::SessionWorker::catch::vx - vxw::Socket::Receive - Error receiving data", LogPriority::Error},
        {"vxw::InstallThreadHandlers::fault - WINEXCEPTION: access violation", LogPriority::Error},
        {"POP3 could not listen on 127.0.0.1:110 - vxw::Worker::DoWork::catch::vx - ...", LogPriority::Error},
        {"No service could listen - stopped", LogPriority::Error},
        {"Hotmail::Login - Error getting folder locations - HTTP/1.1 200 OK", LogPriority::Error},
        {"Config::LoadConfig::Type - Not a number, the default is used - f:8 - Timeout", LogPriority::Warning},
        {"vxw::RegistryKey::Create::NoKey - The settings file has values but no key line", LogPriority::Warning},
        {"PopServer::DoWork::Accept - Too many sessions, new connections are refused - 1000", LogPriority::Warning},
        {"POP3 on 127.0.0.1:1110", LogPriority::Notice},
        {"Stopped", LogPriority::Notice},
        {"PopSession::Client - USER x::catch - Error ", LogPriority::Notice},
        {"ImapSession::Server - a1 NO could not listen on it", LogPriority::Notice},
    };
    for (const auto& c : kCases) EXPECT_EQ(PriorityOf(c.text), c.priority) << c.text;
}

TEST(LogPriority, AJournalLineIsOneLineWithItsPriorityAndNoTimeStamp) {
    EXPECT_EQ(JournalLine("Stopped"), "<6>Stopped\n");
    EXPECT_EQ(JournalLine("Hotmail::Login - Error getting folder locations - HTTP/1.1 404\r\nServer: x\r\n"),
              "<3>Hotmail::Login - Error getting folder locations - HTTP/1.1 404  Server: x  \n");
}

}  // namespace
