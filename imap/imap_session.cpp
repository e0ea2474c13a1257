#include "imap/imap_session.h"

#include <algorithm>
#include <ctime>

#include "core/exception.h"
#include "core/log.h"
#include "imap/imap_failure.h"
#include "session/session_report.h"
#include "text/ascii.h"

namespace {

// Commands before a login; a client that cannot log in is sent away.
constexpr int kMaxUnauthenticatedCommands = 30;
// A reply line carrying a service's failure text is cut here.
constexpr size_t kMaxReplyText = 400;

uint8_t Bit(int state) {
    return static_cast<uint8_t>(1u << state);
}

// Bits of the states a command is allowed in (1 << State).
constexpr uint8_t kNotAuth = 1, kSelected = 4, kAny = 7, kAuthed = 6;

vx::Str Upper(vx::Str text) {
    for (char& c : text) c = vx::Ascii::ToUpper(c);
    return text;
}

// A text for a reply line: one line, not too long.
vx::Str ReplyText(const vx::Str& text) {
    vx::Str line = text.substr(0, kMaxReplyText);
    for (char& c : line) {
        if (c == '\r' || c == '\n' || static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return line;
}

}  // namespace

// The table of commands: name, handler, the states it is allowed in, and
// whether it has a UID form.
const ImapSession::CommandEntry ImapSession::kCommands[] = {
    {"CAPABILITY", &ImapSession::CmdCapability, kAny, false},
    {"NOOP", &ImapSession::CmdNoop, kAny, false},
    {"LOGOUT", &ImapSession::CmdLogout, kAny, false},
    {"ID", &ImapSession::CmdId, kAny, false},
    {"STARTTLS", &ImapSession::CmdStartTls, kAny, false},
    {"LOGIN", &ImapSession::CmdLogin, kNotAuth, false},
    {"AUTHENTICATE", &ImapSession::CmdAuthenticate, kNotAuth, false},
    {"SELECT", &ImapSession::CmdSelect, kAuthed, false},
    {"EXAMINE", &ImapSession::CmdSelect, kAuthed, false},
    {"LIST", &ImapSession::CmdList, kAuthed, false},
    {"LSUB", &ImapSession::CmdList, kAuthed, false},
    {"NAMESPACE", &ImapSession::CmdNamespace, kAuthed, false},
    {"STATUS", &ImapSession::CmdStatus, kAuthed, false},
    {"SUBSCRIBE", &ImapSession::CmdSubscribe, kAuthed, false},
    {"UNSUBSCRIBE", &ImapSession::CmdSubscribe, kAuthed, false},
    {"CREATE", &ImapSession::CmdCreate, kAuthed, false},
    {"DELETE", &ImapSession::CmdDelete, kAuthed, false},
    {"RENAME", &ImapSession::CmdRename, kAuthed, false},
    {"APPEND", &ImapSession::CmdAppend, kAuthed, false},
    {"IDLE", &ImapSession::CmdIdle, kAuthed, false},
    {"CHECK", &ImapSession::CmdCheck, kSelected, false},
    {"CLOSE", &ImapSession::CmdClose, kSelected, false},
    {"UNSELECT", &ImapSession::CmdClose, kSelected, false},
    {"EXPUNGE", &ImapSession::CmdExpunge, kSelected, true},
    {"FETCH", &ImapSession::CmdFetch, kSelected, true},
    {"STORE", &ImapSession::CmdStore, kSelected, true},
    {"SEARCH", &ImapSession::CmdSearch, kSelected, true},
    {"COPY", &ImapSession::CmdCopy, kSelected, true},
    {"MOVE", &ImapSession::CmdCopy, kSelected, true},
    {"UID", &ImapSession::CmdUid, kSelected, false},
};

vx::Str ImapSession::Capabilities(bool authenticated) {
    vx::Str words =
        "IMAP4rev1 LITERAL+ SASL-IR ID IDLE NAMESPACE UNSELECT UIDPLUS MOVE "
        "SPECIAL-USE CHILDREN LIST-EXTENDED APPENDLIMIT=" +
        std::to_string(vxw::kMaxMessageSize);
    if (!authenticated) words += " AUTH=PLAIN";
    return words;
}

ImapSession::ImapSession(vxw::SocketHandle connection, const ImapContext& context)
    : channel(
          connection,
          {"ImapSession::Client - ", "ImapSession::Server - ", "* BYE Command line too long\r\n",
           "* BYE Timed out waiting for the client\r\n", nullptr},
          [this](const vx::Str& line) { return MaskCredentials(line); }),
      out(channel),
      context(context),
      account(context.makeAccount()) {
    if (!account) throw vx::Exception("ImapSession::ImapSession - No web mail client");
}

ImapSession::~ImapSession() {
    try {
        if (selected) selected->State().Save();
    } catch (...) {
    }
    try {
        account->Disconnect();
    } catch (...) {
    }
}

void ImapSession::Run() {
    out.StartCommand();
    out.Write("* OK [CAPABILITY " + Capabilities(false) + "] Mirelink IMAP4rev1 ready\r\n");
    out.Flush();
    int unauthenticated = 0;
    while (state != State::Logout) {
        if (state == State::NotAuthenticated && ++unauthenticated > kMaxUnauthenticatedCommands) {
            out.Write("* BYE Too many commands without a login\r\n");
            out.Flush();
            return;
        }
        if (state != State::NotAuthenticated && !AwaitCommand()) {
            // An ordinary end (RFC 3501 5.4), said before closing.
            EndAs("autologout");
            out.StartCommand();
            out.Write("* BYE Autologout; idle for too long\r\n");
            out.Flush();
            return;
        }
        ImapCommandText text;
        bool complete = ReadCommand(text);
        out.StartCommand();
        if (complete) Execute(text);
        out.Flush();
    }
}

const ImapSession::CommandEntry* ImapSession::FindCommand(const vx::Str& name) {
    for (const CommandEntry& entry : kCommands)
        if (name == entry.name) return &entry;
    return nullptr;
}

void ImapSession::Execute(const ImapCommandText& text) {
    ImapCommand command;
    vx::Str error;
    bool parsed = ImapParser::ParseCommand(text, command, error);
    if (command.tag.empty()) return Untagged("BAD " + error);
    // A line that names no command may be a password the client sent astray
    // (the log showed it as "****"): the reply does not repeat it, and the log
    // shows not even the tag of the reply. The client still gets its tag, so
    // it does not wait for an answer that never comes.
    if (MaskCredentials(text.lines.front()) == "****") {
        out.WriteHidingTag(command.tag,
                           "BAD " + (command.name.empty() ? error : "Unknown command") + "\r\n");
        return;
    }
    if (!parsed) return Tagged(command.tag, "BAD", error);
    Request request{command.tag, command.name, false, std::move(command.args)};
    try {
        Dispatch(request);
    } catch (const ImapFailure& failure) {
        if (out.LiteralOpen()) throw;
        Tagged(request.tag, failure.GetKind() == ImapFailure::Kind::Bad ? "BAD" : "NO",
               failure.Message());
    } catch (const vxw::SessionClosed&) {
        throw;
    } catch (const vx::Exception& failure) {
        // The client's connection is gone, or the client was promised bytes
        // it did not get: nothing more can be said to it.
        if (out.LiteralOpen() || out.Broken() || clientLost) throw;
        // A message another session (or the web mail site) removed: the
        // next look at the folder reports it expunged (RFC 2180 4.1, RFC 5530).
        auto* refusal = dynamic_cast<const ServiceRefusal*>(&failure);
        if (refusal != nullptr && MessageIsGone(*refusal))
            return Tagged(request.tag, "NO",
                          "[EXPUNGEISSUED] Some of the requested messages no longer exist");
        Log("ImapSession::" + request.name + " - " + failure.Message());
        Tagged(request.tag, "NO", "[UNAVAILABLE] " + ReplyText(failure.Message()));
    }
}

void ImapSession::Dispatch(Request& request) {
    const CommandEntry* entry = FindCommand(request.name);
    if (entry == nullptr) throw ImapFailure::Bad("Unknown command");
    if (!(entry->states & Bit(static_cast<int>(state)))) {
        if (entry->states == kNotAuth)
            throw ImapFailure::Bad(request.name + " is not allowed after a login");
        if (state == State::NotAuthenticated) throw ImapFailure::Bad("Log in first");
        throw ImapFailure::Bad("No mailbox selected");
    }
    (this->*entry->handler)(request);
}

void ImapSession::CmdUid(Request& request) {
    if (request.args.empty() || !request.args[0].IsAtom())
        throw ImapFailure::Bad("UID needs a command");
    vx::Str name = Upper(request.args[0].text);
    const CommandEntry* entry = FindCommand(name);
    if (entry == nullptr || !entry->uidForm)
        throw ImapFailure::Bad("Unknown UID command");
    request.name = name;
    request.uid = true;
    request.args.erase(request.args.begin());
    (this->*entry->handler)(request);
}

void ImapSession::EndAs(const char* how) {
    if (vxw::SessionReport* report = vxw::SessionReport::Current()) report->EndAs(how);
}

void ImapSession::Tagged(const vx::Str& tag, const char* status, const vx::Str& text) {
    out.Write(tag + " " + status + " " + ReplyText(text) + "\r\n");
}

void ImapSession::Untagged(const vx::Str& text) {
    out.Write("* " + text + "\r\n");
}

void ImapSession::WriteResponses(const vx::Str& responses) {
    if (!responses.empty()) out.Write(responses);
}

void ImapSession::RequireArgs(const Request& request, size_t count, size_t most) {
    if (most == SIZE_MAX) most = count;
    if (request.args.size() < count || request.args.size() > most)
        throw ImapFailure::Bad("Wrong number of arguments for " + request.name);
}

const vx::Str& ImapSession::AString(const Request& request, size_t index) {
    if (index >= request.args.size() || !request.args[index].IsAString())
        throw ImapFailure::Bad("Missing or invalid argument for " + request.name);
    return request.args[index].text;
}

const ImapArg& ImapSession::List(const Request& request, size_t index) {
    if (index >= request.args.size() || !request.args[index].IsList())
        throw ImapFailure::Bad("A parenthesised list is needed for " + request.name);
    return request.args[index];
}

std::vector<size_t> ImapSession::SelectMessages(const Request& request, size_t index) {
    SequenceSet set;
    if (index >= request.args.size() || !request.args[index].IsAtom() ||
        !set.Parse(request.args[index].text))
        throw ImapFailure::Bad("Invalid sequence set");
    // A sequence number beyond the mailbox is the client's mistake; a UID
    // that is gone is not (RFC 3501 6.4.8).
    if (!request.uid && set.HighestExplicit() > selected->Count())
        throw ImapFailure::Bad("No message with that sequence number");
    return selected->Select(set, request.uid);
}

void ImapSession::RefreshSelected() {
    vx::Str responses;
    selected->Refresh(*account, std::time(nullptr), responses);
    WriteResponses(responses);
}

void ImapSession::AnnounceKeywords() {
    if (selected) WriteResponses(selected->KeywordNews());
}
