// Reading one command of ImapSession: its line, and for each literal it
// announces (RFC 3501 4.3, RFC 7888 LITERAL+) the literal's bytes and the
// line that goes on after it. Every size is bounded; a literal beyond the
// bounds is refused before the client sends it, where the protocol allows.
// An APPEND's message is no argument to keep in memory: it goes to the
// session's spool as it arrives, bounded by the largest message instead.
#include <algorithm>
#include <ctime>

#include "core/exception.h"
#include "core/log.h"
#include "imap/imap_session.h"
#include "session/secret_mask.h"
#include "settings/config.h"
#include "text/ascii.h"

namespace {

// Other literals carry names, search strings and credentials, so they are
// kept small.
constexpr uint64_t kMaxLiteral = 64 * 1024;
constexpr size_t kMaxCommandBytes = 256 * 1024;
constexpr size_t kMaxLiterals = 64;
// A message literal reaches its spool in pieces of this size.
constexpr size_t kMessagePiece = 64 * 1024;

// Why a literal cannot be taken: the reply's text, and the BYE's when the
// client sends it without waiting.
struct LiteralRefusal {
    const char* reply;
    const char* bye;
};
const LiteralRefusal kTooMany = {"[LIMIT] Too many literals in one command",
                                 "* BYE Too many literals\r\n"};
const LiteralRefusal kTooLarge = {"[TOOBIG] Literal too large", "* BYE Literal too large\r\n"};
const LiteralRefusal kMessageTooLarge = {"[TOOBIG] The message exceeds the size limit",
                                         "* BYE Message too large\r\n"};

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
    messageSpooled = false;
    spoolFailure = nullptr;
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
        // Before a login a literal is a literal: no stranger gets to fill
        // the spool.
        bool message = !messageSpooled && state != State::NotAuthenticated &&
                       IsMessageLiteral(text, word);
        bool taken = message ? TakeMessageLiteral(text, tag, mark)
                             : TakeLiteral(text, tag, mark, total);
        if (!taken) return false;
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

namespace {

// Answers a literal that cannot be taken: before its bytes when the client
// waits for the go-ahead; otherwise the bytes come whatever is said, and
// past the bounds there is no reading them safely, so the session ends.
void RefuseLiteral(ImapResponseWriter& out, const vx::Str& tag, bool sync,
                   const LiteralRefusal& why, uint64_t size) {
    out.StartCommand();
    if (sync) {
        out.Write(tag + " NO " + why.reply + "\r\n");
        out.Flush();
        return;
    }
    if (!tag.empty()) out.Write(tag + " BAD " + why.reply + "\r\n");
    out.Write(why.bye);
    out.Flush();
    throw vx::Exception("ImapSession::TakeLiteral::Size - " + vx::Str(why.reply) + " - " +
                        std::to_string(size));
}

}  // namespace

// Reads the literal mark announces; false when the command was answered
// instead (the client then sends no literal).
bool ImapSession::TakeLiteral(ImapCommandText& text, const vx::Str& tag,
                              const ImapLiteralMark& mark, size_t& total) {
    bool sync = mark.kind == ImapLiteralMark::Kind::Sync;
    const LiteralRefusal* refusal = nullptr;
    if (text.literals.size() >= kMaxLiterals)
        refusal = &kTooMany;
    else if (mark.size > kMaxLiteral || total + mark.size > kMaxCommandBytes)
        refusal = &kTooLarge;
    if (refusal != nullptr) {
        RefuseLiteral(out, tag, sync, *refusal, mark.size);
        return false;
    }
    if (sync) {
        out.StartCommand();
        out.Write("+ Ready for literal data\r\n");
        out.Flush();
    }
    text.literals.push_back(channel.ReadBlock(static_cast<size_t>(mark.size)));
    if (vxw::LineChannel::ExtraLogging())
        LogWithoutContext("ImapSession::Client - (literal of " + std::to_string(mark.size) + " bytes)");
    total += static_cast<size_t>(mark.size);
    return true;
}

// APPEND mailbox [flags] [date] message: every literal of an APPEND but a
// mailbox name that comes first is its message.
bool ImapSession::IsMessageLiteral(const ImapCommandText& text, const vx::Str& word) {
    if (!vx::Ascii::EqualNoCase(word, "APPEND")) return false;
    if (!text.literals.empty()) return true;
    const vx::Str& line = text.lines.front();
    size_t mailbox = line.find(' ', line.find(' ') + 1);  // after the tag and the word
    return mailbox != vx::Str::npos && line[mailbox + 1] != '{';
}

bool ImapSession::TakeMessageLiteral(ImapCommandText& text, const vx::Str& tag,
                                     const ImapLiteralMark& mark) {
    bool sync = mark.kind == ImapLiteralMark::Kind::Sync;
    if (mark.size > vxw::kMaxMessageSize) {
        RefuseLiteral(out, tag, sync, kMessageTooLarge, mark.size);
        return false;
    }
    if (sync) {
        vx::Str refusal = RefuseBeforeMessage(text);
        out.StartCommand();
        out.Write(refusal.empty() ? "+ Ready for literal data\r\n"
                                  : tag + " NO " + refusal + "\r\n");
        out.Flush();
        if (!refusal.empty()) return false;
    }
    SpoolMessage(mark.size);
    // The message is an argument like any other to the parser, which does
    // not look at its bytes: an empty one stands in for it.
    text.literals.emplace_back();
    if (vxw::LineChannel::ExtraLogging())
        Log("ImapSession::Client - (message of " + std::to_string(mark.size) + " bytes)");
    return true;
}

// The bytes go to the spool as they arrive, each piece within the time-out;
// a spool that fails (a full disk) still has every byte read, so that the
// client hears the refusal at the end of its command.
void ImapSession::SpoolMessage(uint64_t size) {
    spool.Clear();
    messageSpooled = true;
    for (uint64_t left = size; left > 0;) {
        size_t piece = static_cast<size_t>(std::min<uint64_t>(left, kMessagePiece));
        vx::Str bytes = channel.ReadBlock(piece);
        left -= piece;
        if (spoolFailure) continue;
        try {
            spool.Append(bytes.data(), bytes.size());
        } catch (...) {
            spoolFailure = std::current_exception();
            spool.Clear();
        }
    }
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
