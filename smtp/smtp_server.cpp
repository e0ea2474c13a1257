#include "smtp/smtp_server.h"

#include "settings/config.h"

std::atomic<int32_t> ActiveSmtpSessions{0};

namespace {

const vxw::ListenerTexts kSmtpTexts = {
    "SmtpServer::DoWork",
    "SmtpServer::SmtpWorker",
    "SmtpServer::DoWork::Accept - Error accepting connection.",
    "SmtpServer::LogError - ",
    "421 Too many sessions, try again later\r\n",
    "421 Shutting down, try again later\r\n",
    "SMTP",
};

}  // namespace

SmtpServer::SmtpServer(AccountFactory makeAccount)
    : SessionListenerOf(kSmtpTexts, ActiveSmtpSessions, std::move(makeAccount)) {}

int32_t SmtpServer::ListenPort() const {
    return Config::Instance().PortSmtp();
}
