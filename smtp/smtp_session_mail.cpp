// The mail transaction: MAIL, RCPT and DATA.
#include <string>
#include <string_view>

#include "core/exception.h"
#include "http/body_pieces.h"
#include "http/body_stream.h"
#include "smtp/smtp_session.h"

namespace {

// A larger message is refused; so is a MAIL that declares a larger size.
constexpr uint64_t kMaxMessageSize = 50000000;
constexpr int kMaxRecipients = 100;  // RFC 5321 asks servers to take at least 100

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
    if (DeclaredSize(command.argument) > kMaxMessageSize) {
        Reply(552, "Message size exceeds fixed maximum message size");
        return stage;
    }
    sender = address;
    recipients.clear();
    Reply(250, "OK");
    return Stage::Transaction;
}

SmtpSession::Stage SmtpSession::ProcessRcpt(const Command& command) {
    vx::Str address;
    if (!TakeAddress(command.argument, kRecipientMarkers, address)) return stage;
    if (recipients.size() >= kMaxRecipients) {
        Reply(452, "Too many recipients");
        return stage;
    }
    recipients.push_back(address);
    Reply(250, "OK");
    return stage;
}

// The 250 comes only after the service took the message. Any failure gets
// its reply before the session ends, so that the client neither takes the
// message as sent nor retries it the same way for ever: 552 for a message over
// the limit, 554 for one the service refused, 451 when the service could not
// be reached.
SmtpSession::Stage SmtpSession::ProcessData(const Command&) {
    if (sender.empty() || recipients.empty()) {
        Reply(500, "Invalid command order");
        return stage;
    }
    Reply(354, "Start mail input; end with <CRLF>.<CRLF>");
    channel.Pause();
    vxw::BodyPieces text;
    uint64_t size = ReadMessageText(text);
    if (size > kMaxMessageSize) {
        channel.ReplyBeforeClosing("552 Message size exceeds fixed maximum message size\r\n");
        throw vx::Exception(
            "SmtpSession::ProcessCommandData::GetLength - Message size exceeded limit - " +
            std::to_string(size));
    }
    vxw::PartsSource source(text.Parts());
    Submit(source);
    ClearEnvelope();
    Reply(250, "OK");
    return Stage::Authenticated;
}

void SmtpSession::Submit(vxw::BodySource& text) {
    try {
        account->SendMail(sender, recipients, text);
    } catch (const ServiceRefusal&) {
        channel.ReplyBeforeClosing("554 Transaction failed: the service refused the message\r\n");
        throw;
    } catch (...) {
        channel.ReplyBeforeClosing(
            "451 Requested action aborted: the service could not be reached\r\n");
        throw;
    }
}

// The text is gathered in pieces and posted from them: a string grown line by
// line would copy itself over and over and leave its outgrown buffers behind,
// and even one joined copy of a large message costs as much as receiving it.
// Past the limit the rest is read and dropped, up to the final dot, so that
// the client is ready to hear the refusal; returns the size the text has.
uint64_t SmtpSession::ReadMessageText(vxw::BodyPieces& pieces) {
    uint64_t size = 0;
    for (;;) {
        std::string_view line = channel.ReadLineView();
        if (line == ".") break;
        if (!line.empty() && line[0] == '.') line.remove_prefix(1);  // the transparency dot
        size += line.size() + 2;
        if (size > kMaxMessageSize) continue;
        pieces.Append(line.data(), line.size());
        pieces.Append("\r\n", 2);
    }
    return size;
}
