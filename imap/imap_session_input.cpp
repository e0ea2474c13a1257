// Reading one command of ImapSession: its line, and for each literal it
// announces (RFC 3501 4.3, RFC 7888 LITERAL-) the literal's bytes and the
// line that goes on after it. Every size is bounded; a literal beyond the
// bounds is refused before the client sends it, where the protocol allows.
#include <algorithm>
#include <ctime>

#include "core/exception.h"
#include "core/log.h"
#include "settings/config.h"
#include "imap/imap_session.h"
#include "session/secret_mask.h"
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

// A command word as the parser reads it, in upper case; clean when a blank
// or the line's end follows it.
struct CommandWord {
    vx::Str name;
    bool clean = false;
    std::string_view rest;  // after the word and its blank
};

CommandWord TakeCommandWord(std::string_view text) {
    CommandWord word;
    size_t length = ImapParser::CommandNameLength(text);
    for (char c : text.substr(0, length)) word.name += vx::Ascii::ToUpper(c);
    word.clean = length == text.size() || text[length] == ' ';
    word.rest = text.substr(std::min(length + 1, text.size()));
    return word;
}

// Whether a word of text, between any blanks, is LOGIN or AUTHENTICATE.
bool HoldsLoginWord(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) > 0x20) ++end;
        std::string_view word = text.substr(at, end - at);
        if (vx::Ascii::EqualNoCase(word, "LOGIN") || vx::Ascii::EqualNoCase(word, "AUTHENTICATE"))
            return true;
        at = end + 1;
    }
    return false;
}

// Keeps the continuation flag of the mask set while a line within a command
// is read.
class Continuing {
public:
    explicit Continuing(bool& flag) : flag(flag) { flag = true; }
    ~Continuing() { flag = false; }
    Continuing(const Continuing&) = delete;
    Continuing& operator=(const Continuing&) = delete;

private:
    bool& flag;
};

}  // namespace

// What the log shows of a client line. A command line shows only when the
// session takes it as one (a tag, one blank, a command word it knows, then
// a blank or the end); LOGIN and AUTHENTICATE keep only their command word
// and a registered mechanism, a UID that names no UID command keeps only the
// UID, a known word glued to more keeps only the word. Anything else may be
// credentials sent astray (an answer to a challenge the client believes it
// got, a LOGIN behind a stray tab) and shows as "****", in every state.
// Within a command (the line after a literal, IDLE's DONE) the line holds
// the command's arguments and shows, unless it reads as a login.
vx::Str ImapSession::MaskCredentials(const vx::Str& line) const {
    if (continuing) return HoldsLoginWord(line) ? "****" : line;
    const size_t tagLength = ImapParser::TagLength(line);
    if (tagLength == 0 || tagLength == line.size() || line[tagLength] != ' ') return "****";
    const vx::Str tag = line.substr(0, tagLength);
    CommandWord word = TakeCommandWord(std::string_view(line).substr(tagLength + 1));
    const CommandEntry* entry = FindCommand(word.name);
    if (entry == nullptr) return "****";
    if (word.name == "LOGIN") return tag + " LOGIN ****";
    if (word.name == "AUTHENTICATE") {
        std::string_view rest = vxw::SkipBlanks(word.rest);
        const char* mechanism = vxw::KnownMechanism(rest.substr(0, rest.find_first_of(" \t")));
        return tag + " AUTHENTICATE" + (mechanism ? vx::Str(" ") + mechanism : "") + " ****";
    }
    if (!word.clean) return tag + " " + word.name + " ****";
    if (word.name == "UID") {
        CommandWord inner = TakeCommandWord(word.rest);
        entry = FindCommand(inner.name);
        if (entry == nullptr || !entry->uidForm || !inner.clean) return tag + " UID ****";
    }
    return line;
}

bool ImapSession::ReadCommand(ImapCommandText& text) {
    // An over-long line ends the session after the channel's BYE: the rest
    // of it is still on its way, so there is no telling where the next
    // command starts.
    vx::Str line = channel.ReadCommandLine();
    size_t total = line.size();
    text.lines.push_back(std::move(line));
    // The tag and word answer a literal refused; what follows a literal of a
    // line the log does not show whole (LOGIN, AUTHENTICATE, no command at
    // all) may be the password.
    vx::Str tag, word;
    TagAndWord(text.lines.front(), tag, word);
    const bool secret = MaskCredentials(text.lines.front()) != text.lines.front();
    for (;;) {
        ImapLiteralMark mark = ImapParser::FindLiteralMark(text.lines.back());
        if (mark.kind == ImapLiteralMark::Kind::None || mark.kind == ImapLiteralMark::Kind::Bad)
            return true;
        if (!TakeLiteral(text, tag, word, mark, total)) return false;
        if (secret) {
            text.lines.push_back(channel.ReadSecretLine());
        } else {
            Continuing within(continuing);
            text.lines.push_back(channel.ReadLine());
        }
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
        LogWithoutContext("ImapSession::Client - (literal of " + std::to_string(mark.size) + " bytes)");
    total += static_cast<size_t>(mark.size);
    return true;
}

vx::Str ImapSession::ReadContinuation(bool secret) {
    try {
        if (secret) return channel.ReadSecretLine();
        Continuing within(continuing);
        return channel.ReadLine();
    } catch (...) {
        clientLost = true;
        throw;
    }
}

bool ImapSession::AwaitCommand() {
    const int64_t timeoutMs = int64_t{Config::Instance().Timeout()} * 1000;
    const int64_t ms = std::max<int64_t>(context.autologoutMs, timeoutMs);
    return channel.WaitForInput(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX)));
}

bool ImapSession::WaitForClient(uint32_t ms) {
    try {
        return channel.WaitForInput(static_cast<int32_t>(ms));
    } catch (...) {
        clientLost = true;
        throw;
    }
}
