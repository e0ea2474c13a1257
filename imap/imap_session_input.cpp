// Reading one command of ImapSession: its line, and for each literal it
// announces (RFC 3501 4.3, RFC 7888 LITERAL-) the literal's bytes and the
// line that goes on after it. Every size is bounded; a literal beyond the
// bounds is refused before the client sends it, where the protocol allows.
#include <ctime>

#include "core/exception.h"
#include "core/log.h"
#include "imap/imap_session.h"
#include "text/ascii.h"

namespace {

// Literals carry names, search strings and credentials here (APPEND is
// refused before its literal is sent), so they are kept small.
constexpr uint64_t kMaxLiteral = 64 * 1024;
constexpr size_t kMaxCommandBytes = 256 * 1024;
constexpr size_t kMaxLiterals = 64;
// RFC 7888 LITERAL-: a larger literal must wait for the continuation.
constexpr uint64_t kMaxNonSyncLiteral = 4096;

// The tag and command word of a command's first line, for a reply before
// the command is read whole.
void TagAndWord(const vx::Str& line, vx::Str& tag, vx::Str& word) {
    size_t blank = line.find(' ');
    tag = line.substr(0, blank);
    if (blank == vx::Str::npos) return;
    size_t end = line.find(' ', blank + 1);
    word = line.substr(blank + 1, end == vx::Str::npos ? vx::Str::npos : end - blank - 1);
}

}  // namespace

bool ImapSession::ReadCommand(ImapCommandText& text) {
    // An over-long line ends the session after the channel's BYE: the rest
    // of it is still on its way, so there is no telling where the next
    // command starts.
    vx::Str line = channel.ReadCommandLine();
    size_t total = line.size();
    text.lines.push_back(std::move(line));
    // The tag and word answer a literal refused; what follows a literal of
    // LOGIN or AUTHENTICATE may be the password.
    vx::Str tag, word;
    TagAndWord(text.lines.front(), tag, word);
    bool secret =
        vx::Ascii::EqualNoCase(word, "LOGIN") || vx::Ascii::EqualNoCase(word, "AUTHENTICATE");
    for (;;) {
        ImapLiteralMark mark = ImapParser::FindLiteralMark(text.lines.back());
        if (mark.kind == ImapLiteralMark::Kind::None || mark.kind == ImapLiteralMark::Kind::Bad)
            return true;
        if (!TakeLiteral(text, tag, word, mark, total)) return false;
        text.lines.push_back(secret ? channel.ReadSecretLine() : channel.ReadLine());
        total += text.lines.back().size();
        if (total > kMaxCommandBytes) {
            out.StartCommand();
            out.Write("* BYE Command too long\r\n");
            out.Flush();
            throw vx::Exception("ImapSession::ReadCommand::Size - Command too long");
        }
    }
}

// Reads the literal mark announces; false when the command was answered
// instead (the client then sends no literal).
bool ImapSession::TakeLiteral(ImapCommandText& text, const vx::Str& tag, const vx::Str& word,
                              const ImapLiteralMark& mark, size_t& total) {
    bool sync = mark.kind == ImapLiteralMark::Kind::Sync;
    bool tooLarge = mark.size > kMaxLiteral || total + mark.size > kMaxCommandBytes ||
                    text.literals.size() >= kMaxLiterals;
    if (sync) {
        out.StartCommand();
        if (vx::Ascii::EqualNoCase(word, "APPEND")) {
            RefuseAppend(tag);
            out.Flush();
            return false;
        }
        if (tooLarge) {
            Tagged(tag, "NO", "[TOOBIG] Literal too large");
            out.Flush();
            return false;
        }
        out.Write("+ Ready for literal data\r\n");
        out.Flush();
    } else if (tooLarge || mark.size > kMaxNonSyncLiteral) {
        // The bytes come whatever we say; past our bounds there is no
        // reading them safely.
        out.StartCommand();
        if (!tag.empty()) Tagged(tag, "BAD", "[TOOBIG] Non-synchronizing literal too large");
        out.Write("* BYE Literal too large\r\n");
        out.Flush();
        throw vx::Exception("ImapSession::TakeLiteral::Size - Literal too large - " +
                            std::to_string(mark.size));
    }
    text.literals.push_back(channel.ReadBlock(static_cast<size_t>(mark.size)));
    if (vxw::LineChannel::ExtraLogging())
        Log("ImapSession::Client - (literal of " + std::to_string(mark.size) + " bytes)");
    total += static_cast<size_t>(mark.size);
    return true;
}

vx::Str ImapSession::ReadContinuation(bool secret) {
    try {
        return secret ? channel.ReadSecretLine() : channel.ReadLine();
    } catch (...) {
        clientLost = true;
        throw;
    }
}

bool ImapSession::WaitForClient(uint32_t ms) {
    try {
        return channel.WaitForInput(static_cast<int32_t>(ms));
    } catch (...) {
        clientLost = true;
        throw;
    }
}
