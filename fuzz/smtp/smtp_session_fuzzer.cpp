// An SMTP session driven by any command stream from the mail client against
// the in-memory web mail service: it answers or ends with an exception, never
// crashes or waits; a message reaches the service only after a DATA, with a
// sender and at least one recipient, and never longer than what was sent; and
// the text is answered 250 exactly when the service took it; no credentials
// reach the conversation log.
//
// Input: byte 0 makes service operations fail (see kFailures); the rest is
// what the client sends before it closes the connection.

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/scratch_folder.h"
#include "fuzz/support/session_driver.h"
#include "session/secret_mask.h"
#include "smtp/smtp_session.h"
#include "tests/support/memory_account.h"

namespace {

using Operation = testing_support::MemoryService::Operation;

const Operation kFailures[] = {Operation::Login, Operation::SendMail};

const char kGreeting[] = "220 127.0.0.1 SMTP ready to roll\r\n";
// No reply comes between the invitation to send the text and its answer.
const char kTextTaken[] = "354 Start mail input; end with <CRLF>.<CRLF>\r\n250 OK\r\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::UsePrivateSettings(fuzz_support::SessionSettings());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    testing_support::MemoryService service;
    service.AddAccount("alice", "open sesame");
    fuzz_support::FailChosen(service, data[0], kFailures);
    const vx::Str commands(fuzz_support::AsText(data + 1, size - 1));
    const fuzz_support::SessionRecord record =
        fuzz_support::DriveSession(commands, [&](vxw::SocketHandle handle) {
            SmtpSession session(handle, service.Factory());
            session.Run();
        });
    const vx::Str& replies = record.replies;
    FUZZ_CHECK(replies.compare(0, sizeof kGreeting - 1, kGreeting) == 0);
    // What follows AUTH and its mechanism stays out of the log, whatever the
    // blanks around them. Each line read is logged once, in order, but for
    // the lines of a message text past its first 4 KB: one line with the
    // text's size stands for them, before the text's final dot.
    const std::vector<vx::Str> logged =
        fuzz_support::LoggedAfter(record.logTexts, "SmtpSession::Client - ");
    const vx::Str tail = "\xE2\x80\xA6 (";
    for (size_t i = 0, line = 0; i < logged.size() && line < record.clientLines.size(); ++i) {
        if (logged[i].compare(0, tail.size(), tail) == 0) {
            while (line < record.clientLines.size() && record.clientLines[line] != ".") ++line;
            continue;
        }
        const vx::Str& sent = record.clientLines[line++];
        for (const vx::Str& piece : fuzz_support::PiecesBetweenBreaks(sent)) {
            vx::Str shown;
            if (!vxw::MaskAuthCommand(piece, shown) || shown.find("****") == vx::Str::npos) continue;
            vx::Str rest(vxw::SkipBlanks(vx::Str(vxw::SkipBlanks(piece)).substr(4)));
            FUZZ_CHECK(!fuzz_support::ShowsSecret(logged[i], rest, sent, shown));
        }
    }
    // Each 250 that answers a message text stands for a message the service took.
    size_t accepted = 0;
    for (size_t at = replies.find(kTextTaken); at != vx::Str::npos;
         at = replies.find(kTextTaken, at + 1))
        ++accepted;
    FUZZ_CHECK(accepted == service.Sent().size());
    for (const auto& mail : service.Sent()) {
        FUZZ_CHECK(fuzz_support::HoldsWord(commands, "DATA"));
        FUZZ_CHECK(mail.user == "alice");
        FUZZ_CHECK(!mail.sender.empty() && !mail.recipients.empty());
        FUZZ_CHECK(mail.text.size() < commands.size());
    }
    return 0;
}
