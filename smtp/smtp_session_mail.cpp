// The mail transaction: MAIL, RCPT and DATA.
#include <ctime>
#include <exception>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "smtp/smtp_session.h"
#include "webmail/submission_registry.h"

namespace {

// A larger message is refused; so is a MAIL that declares a larger size.
using vxw::kMaxMessageSize;
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
    std::exception_ptr spoolFailure;
    uint64_t size = ReadMessageText(spoolFailure);
    if (spoolFailure) {
        channel.ReplyBeforeClosing("451 Requested action aborted: local error in processing\r\n");
        std::rethrow_exception(spoolFailure);
    }
    if (size > kMaxMessageSize) {
        channel.ReplyBeforeClosing("552 Message size exceeds fixed maximum message size\r\n");
        throw vx::Exception(
            "SmtpSession::ProcessCommandData::GetLength - Message size exceeded limit - " +
            std::to_string(size));
    }
    Submit(text);
    // So that the client's own copy of it in the sent folder (IMAP) is not
    // stored a second time where the service keeps one.
    SubmissionRegistry::Instance().Record(account->AccountName(),
                                          SubmissionRegistry::MessageId(text), text.Size(),
                                          std::time(nullptr));
    text.Clear();
    ++messagesSent;
    recipientsServed += recipients.size();
    ReportActivity();
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

// The text goes to the spool line by line, which holds a large message in a
// file rather than in memory; the post reads it back from there. Past the
// limit, or once the spool failed (a full disk), the rest is read and dropped
// up to the final dot, so that the client is ready to hear the refusal;
// returns the size the text has.
uint64_t SmtpSession::ReadMessageText(std::exception_ptr& spoolFailure) {
    text.Clear();
    uint64_t size = 0;
    // The log keeps the start of the text, not all of it.
    struct Text {
        SmtpSession& session;
        explicit Text(SmtpSession& session) : session(session) {
            session.readingText = true;
            session.channel.StartBody();
        }
        ~Text() {
            session.readingText = false;
            session.channel.EndBody();
        }
    } reading(*this);
    for (;;) {
        std::string_view line = channel.ReadLineView();
        if (line == ".") break;
        if (!line.empty() && line[0] == '.') line.remove_prefix(1);  // the transparency dot
        size += line.size() + 2;
        if (size > kMaxMessageSize || spoolFailure) continue;
        try {
            text.Append(line.data(), line.size());
            text.Append("\r\n", 2);
        } catch (...) {
            spoolFailure = std::current_exception();
            text.Clear();
        }
    }
    return size;
}
