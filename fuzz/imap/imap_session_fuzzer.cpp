// An IMAP session driven by any command stream from the mail client against
// the in-memory web mail service: it answers or ends with an exception, never
// crashes or waits, the greeting comes first, no message leaves its folder
// unless the client asked for an expunge or a move, or for its folder to be
// deleted or renamed, and no LOGIN password nor
// AUTHENTICATE PLAIN response reaches the conversation log.
//
// Input: byte 0 makes service operations fail (see kFailures) and its top bit
// makes the service offer COPY and DELETE; the rest is what the client sends
// before it closes the connection.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/scratch_folder.h"
#include "fuzz/support/session_driver.h"
#include "imap/imap_session.h"
#include "session/message_spool.h"
#include "session/secret_mask.h"
#include "tests/support/memory_account.h"
#include "text/ascii.h"

namespace {

using Operation = testing_support::MemoryService::Operation;

const Operation kFailures[] = {Operation::Login,       Operation::ListFolders,
                               Operation::ListFolder,  Operation::GetMessage,
                               Operation::MoveMessage, Operation::SetReadState,
                               Operation::CopyMessage};

void FillMailbox(testing_support::MemoryService& service) {
    service.AddAccount("user", "secret word");
    service.AddMessage("user", "inbox",
                       "From: a@example.com\r\nSubject: one\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                       "--b\r\nContent-Type: text/plain\r\n\r\nHello\r\n"
                       "--b\r\nContent-Type: application/octet-stream\r\n"
                       "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--b--\r\n");
    service.AddMessage("user", "inbox", "Subject: two\r\n\r\nno final line end", 999);
    service.AddMessage("user", "inbox", "");
    service.AddMessage("user", "Drafts", "Subject: three\r\nTo: b@example.com\r\n\r\nbody\r\n");
    service.AddFolder("user", {"deleted", "deleteditems", "Deleted Items"});
}

const char kGreeting[] = "* OK ";

// The words of a line, split at blanks.
std::vector<vx::Str> Words(const vx::Str& line) {
    std::vector<vx::Str> words;
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find(' ', at);
        if (end == vx::Str::npos) end = line.size();
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// The last argument of a command line: a quoted string (blanks and escapes
// in it, as the session reads one) or the last word.
vx::Str LastArgument(const vx::Str& line, const std::vector<vx::Str>& words) {
    if (line.size() < 2 || line.back() != '"') return words.back();
    vx::Str text;
    for (size_t at = line.size() - 1; at-- > 0;) {
        size_t escapes = 0;
        while (at >= escapes + 1 && line[at - escapes - 1] == '\\') ++escapes;
        if (line[at] == '"' && escapes % 2 == 0) {
            std::reverse(text.begin(), text.end());
            return text;
        }
        text += line[at];
        if (escapes % 2 == 1) at -= 1;  // the escaped character stands alone
    }
    return words.back();
}

// A tag as the session reads one: the line it starts is a command at all.
bool IsTag(const vx::Str& word) {
    for (char c : word) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || vx::Str("()\"+{%*\\]").find(c) != vx::Str::npos)
            return false;
    }
    return !word.empty();
}

// The bytes announced by a literal's mark at the end of line ("{n}" or
// "{n+}"), where the session could take them (a message's at most); 0 else.
uint64_t LiteralSize(const vx::Str& line) {
    size_t open = line.rfind('{');
    if (open == vx::Str::npos || line.back() != '}') return 0;
    uint64_t size = 0;
    for (size_t at = open + 1; at + 1 < line.size(); ++at) {
        const char c = line[at];
        if (c == '+' && at + 2 == line.size() && at > open + 1) break;
        if (c < '0' || c > '9') return 0;
        size = size * 10 + static_cast<uint64_t>(c - '0');
        if (size > vxw::kMaxMessageSize) return 0;
    }
    return size;
}

// The credentials the client sent: the last word of a LOGIN, the initial
// response of AUTHENTICATE PLAIN, or the line that answers its challenge. The
// log masks each piece of a line between bare CRs and LFs on its own, so a
// LOGIN is looked for in each piece; only a line without such breaks is a
// command the session can take. The answer to the challenge counts only while
// no login may have succeeded yet (after one, the session refuses
// AUTHENTICATE and the next line is a command) and the AUTHENTICATE line
// is one the session takes: a valid tag, single blanks, nothing more. A line that may begin with
// a literal's bytes, or lie inside them (an APPEND's message spans lines), is no command.
std::vector<vx::Str> Secrets(const std::vector<vx::Str>& lines) {
    std::vector<vx::Str> secrets;
    bool mayBeIn = false;
    uint64_t start = 0;       // where line i starts in the client's bytes
    uint64_t literalEnd = 0;  // a line starting at or before it may be a literal's
    for (size_t i = 0; i < lines.size(); start += lines[i].size() + 2, ++i) {
        const bool afterMark = i > 0 && !lines[i - 1].empty() && lines[i - 1].back() == '}';
        if (afterMark) literalEnd = std::max(literalEnd, start + LiteralSize(lines[i - 1]));
        if (afterMark || start <= literalEnd) continue;
        const std::vector<vx::Str> pieces = fuzz_support::PiecesBetweenBreaks(lines[i]);
        for (const vx::Str& piece : pieces) {
            std::vector<vx::Str> words = Words(piece);
            if (words.size() < 3) continue;
            if (vx::Ascii::EqualNoCase(words[1], "LOGIN")) {
                if (words.size() >= 4) secrets.push_back(LastArgument(piece, words));
                mayBeIn = true;
            } else if (vx::Ascii::EqualNoCase(words[1], "AUTHENTICATE")) {
                bool plain = vx::Ascii::EqualNoCase(words[2], "PLAIN");
                if (plain && words.size() == 4) secrets.push_back(words[3]);
                bool canonical = piece == words[0] + " " + words[1] + " " + words[2];
                if (plain && canonical && pieces.size() == 1 && !mayBeIn && IsTag(words[0]) &&
                    i + 1 < lines.size())
                    secrets.push_back(lines[i + 1]);
                mayBeIn = true;
            }
        }
    }
    return secrets;
}

// Whether every message the mailbox started with is still where it was.
bool AllInPlace(const std::vector<testing_support::MemoryService::StoredMessage>& before,
                const std::vector<testing_support::MemoryService::StoredMessage>& after) {
    for (const auto& message : before) {
        bool found = false;
        for (const auto& now : after)
            found = found || (now.href == message.href && now.folder == message.folder);
        if (!found) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::UsePrivateSettings(fuzz_support::SessionSettings());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    testing_support::MemoryService service;
    FillMailbox(service);
    service.OfferCopyAndDelete((data[0] & 0x80) != 0);
    fuzz_support::FailChosen(service, data[0], kFailures);
    const auto before = service.Mailbox("user");
    ImapContext context{service.Factory(),
                        std::make_shared<ImapStateStore>(fuzz_support::ScratchFolder() + "/imap/"),
                        50};
    const vx::Str commands(fuzz_support::AsText(data + 1, size - 1));
    const fuzz_support::SessionRecord record =
        fuzz_support::DriveSession(commands, [&](vxw::SocketHandle handle) {
            ImapSession session(handle, context);
            session.Run();
        });
    FUZZ_CHECK(record.replies.compare(0, sizeof kGreeting - 1, kGreeting) == 0);
    const std::vector<vx::Str> logged =
        fuzz_support::LoggedAfter(record.logTexts, "ImapSession::Client - ");
    for (const vx::Str& secret : Secrets(record.clientLines)) {
        for (const vx::Str& line : logged)
            FUZZ_CHECK(!fuzz_support::ShowsSecret(line, secret, commands, "****"));
    }
    if (!AllInPlace(before, service.Mailbox("user")) || !service.Trashed().empty()) {
        FUZZ_CHECK(fuzz_support::HoldsWord(commands, "EXPUNGE") ||
                   fuzz_support::HoldsWord(commands, "CLOSE") ||
                   fuzz_support::HoldsWord(commands, "MOVE") ||
                   fuzz_support::HoldsWord(commands, "DELETE") ||
                   fuzz_support::HoldsWord(commands, "RENAME"));
    }
    FUZZ_CHECK(service.Disconnects() >= 1);
    return 0;
}
