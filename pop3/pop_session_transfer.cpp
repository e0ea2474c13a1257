// RETR and TOP of PopSession: the message transfer to the mail client.
#include <cstdlib>

#include "core/exception.h"
#include "pop3/message_relay.h"
#include "pop3/pop_session.h"
#include "pop3/status_line_writer.h"

namespace {

// TOP shares the text of RETR.
const char kNotEnoughArguments[] =
    "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified";

}  // namespace

PopSession::Next PopSession::ProcessTransRetr(const Command& command) {
    if (command.size() < 2) EndSession("-ERR Not enough arguments\r\n", kNotEnoughArguments);
    if (MessageEntry* entry = ValidMessage(command[1])) {
        SendMessage(*entry, false, 0);
        ++retrieved;
        ReportActivity();
    }
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransTop(const Command& command) {
    if (command.size() < 3) EndSession("-ERR Not enough arguments\r\n", kNotEnoughArguments);
    if (MessageEntry* entry = ValidMessage(command[1])) {
        SendMessage(*entry, true, std::atoi(command[2].c_str()));
    }
    return Next::Stay;
}

// The status line trickles while the service has not answered; the message
// then flows to the client as it arrives. A download that fails before a
// byte of the status line went out is answered -ERR as a temporary failure;
// one that fails later leaves the answer without its terminating line (the
// status line completed), so that no client takes a cut message for a whole
// one. Either failure ends the session.
void PopSession::SendMessage(const MessageEntry& entry, bool top, int64_t topLines) {
    channel.Pause();
    StatusLineWriter statusLine(channel);
    MessageRelay relay(channel, statusLine, entry.folder, top, topLines);
    try {
        account->GetMessage(entry.href, relay);
    } catch (...) {
        if (!relay.Begun() && statusLine.Withdraw())
            ServiceFailed(kServiceUnavailable);
        else
            channel.CloseWithoutReply();
        throw;
    }
    relay.End();
}
