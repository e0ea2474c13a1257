// The mail transaction: MAIL, RCPT and DATA.
#include <string>
#include <string_view>

#include "core/exception.h"
#include "http/body_pieces.h"
#include "http/body_stream.h"
#include "smtp/smtp_session.h"

namespace {

// A larger message ends the session: the client sees the connection close.
constexpr size_t kMaxMessageSize = 50000000;

}  // namespace

bool SmtpSession::TakeAddress(const vx::Str& argument, const AddressMarkers& markers,
                              vx::Str& address) {
    switch (ParseAddressArgument(argument, markers, address)) {
        case AddressArgument::Found:
            return true;
        case AddressArgument::NotFound:
            Reply(500, "Address argument not found");
            return false;
        case AddressArgument::Incomplete:
            break;
    }
    Reply(500, "Address argument not complete");
    return false;
}

// A new sender opens a transaction with no recipients yet.
SmtpSession::Stage SmtpSession::ProcessMail(const Command& command) {
    vx::Str address;
    if (!TakeAddress(command.argument, kSenderMarkers, address)) return stage;
    sender = address;
    recipients.clear();
    Reply(250, "OK");
    return Stage::Transaction;
}

SmtpSession::Stage SmtpSession::ProcessRcpt(const Command& command) {
    vx::Str address;
    if (!TakeAddress(command.argument, kRecipientMarkers, address)) return stage;
    recipients.push_back(address);
    Reply(250, "OK");
    return stage;
}

// The 250 comes only after the service took the message; when sending fails
// the exception ends the session unanswered and the client keeps the message.
SmtpSession::Stage SmtpSession::ProcessData(const Command&) {
    if (sender.empty() || recipients.empty()) {
        Reply(500, "Invalid command order");
        return stage;
    }
    Reply(354, "Start mail input; end with <CRLF>.<CRLF>");
    channel.Pause();
    vxw::BodyPieces text = ReadMessageText();
    vxw::PartsSource source(text.Parts());
    account->SendMail(sender, recipients, source);
    ClearEnvelope();
    Reply(250, "OK");
    return Stage::Authenticated;
}

// The text is gathered in pieces and posted from them: a string grown line by
// line would copy itself over and over and leave its outgrown buffers behind,
// and even one joined copy of a large message costs as much as receiving it.
vxw::BodyPieces SmtpSession::ReadMessageText() {
    vxw::BodyPieces pieces;
    for (;;) {
        std::string_view line = channel.ReadLineView();
        if (line == ".") break;
        if (!line.empty() && line[0] == '.') line.remove_prefix(1);  // the transparency dot
        pieces.Append(line.data(), line.size());
        pieces.Append("\r\n", 2);
        if (pieces.Size() > kMaxMessageSize) {
            throw vx::Exception(
                "SmtpSession::ProcessCommandData::GetLength - Message size exceeded limit - " +
                std::to_string(pieces.Size()));
        }
    }
    return pieces;
}
