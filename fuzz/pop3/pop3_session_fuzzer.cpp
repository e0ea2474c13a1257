// A POP3 session driven by any command stream from the mail client against
// the in-memory web mail service: it answers or ends with an exception, never
// crashes or waits, messages leave the mailbox only after a QUIT, and no
// password reaches the conversation log.
//
// Input: byte 0 makes service operations fail (see kFailures); the rest is
// what the client sends before it closes the connection.

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/scratch_folder.h"
#include "fuzz/support/session_driver.h"
#include "pop3/pop_session.h"
#include "session/secret_mask.h"
#include "tests/support/memory_account.h"

namespace {

using Operation = testing_support::MemoryService::Operation;

const Operation kFailures[] = {Operation::Login, Operation::GetMessageList, Operation::GetMessage,
                               Operation::SendMessageToTrash};

void FillMailbox(testing_support::MemoryService& service) {
    service.AddAccount("user", "secret word");
    service.AddMessage("user", "inbox",
                       "From: a@example.com\r\nSubject: one\r\n\r\nHello\r\n.\r\n..two dots\r\n");
    service.AddMessage("user", "junk", "Subject: two\r\n\r\nno final line end", 999);
    service.AddMessage("user", "inbox", "");
    service.AddMessage("user", "Folder \"x\"", "\n\n.\nbare line feeds\n.", -1,
                       "http://mail.example/user/folders/a-very-long-folder-name-that-goes-on/"
                       "and-on-beyond-seventy-characters/msg.eml");
}

const char kGreeting[] = "+OK Ready when you are ";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Config::Values values = fuzz_support::SessionSettings();
    values.operaCompat = true;  // the trickled status line waits seconds between characters
    fuzz_support::UsePrivateSettings(values);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    testing_support::MemoryService service;
    FillMailbox(service);
    fuzz_support::FailChosen(service, data[0], kFailures);
    const vx::Str commands(fuzz_support::AsText(data + 1, size - 1));
    const fuzz_support::SessionRecord record =
        fuzz_support::DriveSession(commands, [&](vxw::SocketHandle handle) {
            PopSession session(handle, service.Factory());
            session.Run();
        });
    FUZZ_CHECK(record.replies.compare(0, sizeof kGreeting - 1, kGreeting) == 0);
    // Whatever follows PASS stays out of the log, whatever the blanks in front
    // and whatever comes before a bare CR or LF. Each line read is logged once,
    // in order.
    const std::vector<vx::Str> logged =
        fuzz_support::LoggedAfter(record.logTexts, "PopSession::Client - ");
    for (size_t i = 0; i < logged.size() && i < record.clientLines.size(); ++i) {
        for (const vx::Str& piece : fuzz_support::PiecesBetweenBreaks(record.clientLines[i])) {
            vx::Str word(vxw::SkipBlanks(piece));
            if (word.size() <= 4 || !fuzz_support::StartsWithWord(word, "PASS")) continue;
            vx::Str secret(vxw::SkipBlanks(word.substr(4)));
            FUZZ_CHECK(!fuzz_support::ShowsSecret(logged[i], secret, record.clientLines[i],
                                                  "PASS ****"));
        }
    }
    if (!service.Trashed().empty()) FUZZ_CHECK(fuzz_support::HoldsWord(commands, "QUIT"));
    FUZZ_CHECK(service.Disconnects() >= 1);
    return 0;
}
