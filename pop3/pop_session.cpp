#include "pop3/pop_session.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <string>

#include "core/clock.h"
#include "core/exception.h"
#include "pop3/message_text.h"
#include "session/session_report.h"
#include "text/ascii.h"

std::atomic<int32_t> TimestampCounter{0};

namespace {

constexpr int kAuthorizationLimit = 10;
// Enough for a RETR and a DELE of every message, with room to spare, however
// large the mailbox.
constexpr int kTransactionLimit = 10000;
constexpr int kTransactionCommandsPerMessage = 4;
constexpr int32_t kTimestampCounterWrap = 100000;

const vx::Str kOk = "+OK";
const vx::Str kErr = "-ERR";
const vx::Str kUnknownCommand = kErr + " Don't understand that command\r\n";
const vx::Str kInvalidNumber = kErr + " Invalid message number\r\n";
const vx::Str kTooManyCommands = kErr + " Too many commands\r\n";
const char kNotEnoughArguments[] = "-ERR Not enough arguments\r\n";
const char kNotAllRemoved[] =
    "-ERR [SYS/TEMP] Not every deleted message could be removed - try again later\r\n";

// What the log shows of a client line (see CredentialMask): the commands of
// RFC 1939 and its extensions with the arguments they take; APOP is not
// among them, its digest stands for the password.
const vxw::CredentialMask::Known kKnownCommands[] = {
    {"USER", vxw::CredentialMask::OneWord},         {"QUIT", vxw::CredentialMask::None},
    {"STAT", vxw::CredentialMask::None},            {"LIST", vxw::CredentialMask::OptionalNumber},
    {"RETR", vxw::CredentialMask::OneNumber},       {"DELE", vxw::CredentialMask::OneNumber},
    {"NOOP", vxw::CredentialMask::None},            {"RSET", vxw::CredentialMask::None},
    {"TOP", vxw::CredentialMask::TwoNumbers},       {"UIDL", vxw::CredentialMask::OptionalNumber},
    {"CAPA", vxw::CredentialMask::None},            {"STLS", vxw::CredentialMask::None},
};

vx::Str Counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Splits at every blank: two blanks give an empty token between them, so the
// tokens joined with single blanks give the line back.
std::vector<vx::Str> SplitAtBlanks(const vx::Str& line) {
    std::vector<vx::Str> tokens;
    if (line.empty()) return tokens;
    size_t start = 0;
    for (size_t blank = line.find(' '); blank != vx::Str::npos; blank = line.find(' ', start)) {
        tokens.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    tokens.push_back(line.substr(start));
    return tokens;
}

void ToUpperAscii(vx::Str& word) {
    for (char& c : word) c = vx::Ascii::ToUpper(c);
}

// What LIST shows as a message's size: what RETR sends before dot-stuffing,
// the folder header line included.
vx::Str ListedSize(const MessageEntry& entry) {
    return std::to_string(int64_t{entry.size} +
                          static_cast<int64_t>(FolderHeaderLine(entry.folder).size()));
}

vx::Str ListedId(const MessageEntry& entry) {
    return UniqueId(entry.href);
}

}  // namespace

// RFC 3206: the client may try again later, and must not take it for a
// wrong password. Clients that know no response codes look for words: to
// fetchmail an -ERR after PASS is a wrong password unless it speaks of a
// lock or of a service that is "unavailable".
const char PopSession::kServiceUnavailable[] =
    "-ERR [SYS/TEMP] The web mail service is unavailable - try again later\r\n";

const PopSession::CommandEntry PopSession::kAuthorizationCommands[] = {
    {"USER", &PopSession::ProcessAuthUser},
    {"PASS", &PopSession::ProcessAuthPass},
    {"APOP", &PopSession::ProcessAuthApop},
    {"QUIT", &PopSession::ProcessAuthQuit},
};

const PopSession::CommandEntry PopSession::kTransactionCommands[] = {
    {"STAT", &PopSession::ProcessTransStat}, {"LIST", &PopSession::ProcessTransList},
    {"RETR", &PopSession::ProcessTransRetr}, {"DELE", &PopSession::ProcessTransDele},
    {"NOOP", &PopSession::ProcessTransNoop}, {"RSET", &PopSession::ProcessTransRset},
    {"TOP", &PopSession::ProcessTransTop},   {"UIDL", &PopSession::ProcessTransUidl},
    {"QUIT", &PopSession::ProcessTransQuit},
};

PopSession::PopSession(vxw::SocketHandle connection, const AccountFactory& makeAccount)
    : mask(kKnownCommands),
      channel(connection,
              {"PopSession::Client - ", "PopSession::Server - ", "-ERR Line too long\r\n",
               "-ERR Timed out waiting for the client\r\n",
               "-ERR [SYS/TEMP] Local error in processing - try again later\r\n"},
              [this](const vx::Str& line) {
                  return mask.Shown(line, state != State::Authorization);
              }),
      account(makeAccount()) {
    if (!account) throw vx::Exception("PopSession::PopSession - No web mail client");
}

PopSession::~PopSession() {
    try {
        account->Disconnect();
    } catch (...) {
    }
}

void PopSession::Run() {
    ReportActivity();
    MakeTimestamp();
    Reply(kOk + " Ready when you are " + timestamp + "\r\n");
    for (state = State::Authorization; state != State::Closed;) state = Enter(state);
}

// The session's states in order; each returns the one that follows it.
PopSession::State PopSession::Enter(State current) {
    switch (current) {
        case State::Authorization:
            return RunCommands(kAuthorizationCommands, std::size(kAuthorizationCommands),
                               kAuthorizationLimit, State::Transaction);
        case State::Transaction:
            return RunCommands(kTransactionCommands, std::size(kTransactionCommands),
                               TransactionLimit(), State::Update);
        case State::Update:
            Update();
            return State::Closed;
        case State::Closed:
            break;
    }
    return State::Closed;
}

PopSession::State PopSession::RunCommands(const CommandEntry* table, size_t tableSize, int limit,
                                          State advance) {
    for (int count = 0; count < limit; ++count) {
        Command command = ReadCommand();
        const CommandEntry* entry = nullptr;
        for (size_t i = 0; i < tableSize && entry == nullptr; ++i) {
            if (command[0] == table[i].name) entry = &table[i];
        }
        if (entry == nullptr) {
            Reply(kUnknownCommand);
            continue;
        }
        Next next = (this->*entry->handler)(command);
        if (next == Next::Advance) return advance;
        if (next == Next::Close) return State::Closed;
    }
    // The client hears why, so that it does not retry the same way for ever.
    channel.ReplyBeforeClosing(kTooManyCommands);
    if (vxw::SessionReport* report = vxw::SessionReport::Current())
        report->EndAs("too many commands");
    return State::Closed;
}

void PopSession::EndSession(const char* reply, const vx::Str& error) {
    channel.ReplyBeforeClosing(reply);
    throw vx::Exception(error);
}

void PopSession::ServiceFailed(const char* reply) {
    channel.ReplyBeforeClosing(reply);
    if (vxw::SessionReport* report = vxw::SessionReport::Current()) {
        ReportActivity();
        report->FailAs("service not available");
    }
}

void PopSession::ReportActivity() const {
    vxw::SessionReport* report = vxw::SessionReport::Current();
    if (report == nullptr) return;
    if (state == State::Authorization) {
        report->SetActivity(loginRefused ? "login refused" : "no login");
        return;
    }
    report->SetActivity(Counted(messages.size(), "message", "messages") + ", " +
                        std::to_string(retrieved) + " retrieved, " + std::to_string(removed) +
                        " deleted");
}

int PopSession::TransactionLimit() const {
    int64_t limit = kTransactionLimit + kTransactionCommandsPerMessage * static_cast<int64_t>(messages.size());
    return static_cast<int>(std::min<int64_t>(limit, INT32_MAX));
}

// The stamp goes without the angle brackets of an RFC 1939 time stamp: in
// brackets it announces APOP, which a gateway can never accept (the service
// needs the password itself, not a digest of it), and clients that prefer
// APOP when announced (curl) then fail to log in at all.
void PopSession::MakeTimestamp() {
    vxw::DateTime now = vxw::UtcNow();
    int32_t count = ++TimestampCounter;
    if (count > kTimestampCounterWrap) TimestampCounter.exchange(0);
    timestamp = std::to_string(now.year) + std::to_string(now.month) + std::to_string(now.day) +
                std::to_string(now.hour) + std::to_string(now.minute) + std::to_string(now.second) +
                "." + std::to_string(count) + "@mirelink";
}

PopSession::Command PopSession::ReadCommand() {
    vx::Str line = channel.ReadCommandLine();
    Command command = SplitAtBlanks(line);
    // The text names nothing the client sent beyond the line itself: what
    // follows it may be a password.
    if (command.empty()) {
        EndSession("-ERR Empty command line\r\n",
                   "PopSession::ReadCommand::aOutCommand - Empty command found - " + line + " - ");
    }
    ToUpperAscii(command[0]);
    return command;
}

MessageEntry* PopSession::ValidMessage(const vx::Str& argument) {
    long number = std::atol(argument.c_str());
    if (number < 1 || static_cast<size_t>(number) > messages.size() ||
        messages[number - 1].deleted) {
        Reply(kInvalidNumber);
        return nullptr;
    }
    return &messages[number - 1];
}

PopSession::Next PopSession::ProcessAuthUser(const Command& command) {
    if (command.size() < 2)
        EndSession(kNotEnoughArguments, "PopSession::ProcessAuthUser::size - Not enough arguments");
    // An empty name ("USER ") names no one: PASS then finds no user.
    username = command[1];
    haveUsername = !username.empty();
    if (vxw::SessionReport* report = vxw::SessionReport::Current()) report->SetAccount(username);
    Reply(kOk + " Present\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ProcessAuthPass(const Command& command) {
    if (!haveUsername) {
        EndSession("-ERR No valid username specified yet\r\n",
                   "PopSession::ProcessAuthPass::username - No valid username specified yet");
    }
    // The rest of the line after "PASS ", blanks and all.
    vx::Str password;
    for (size_t i = 1; i < command.size(); ++i) password += (i > 1 ? " " : "") + command[i];
    // Only the service's refusal of the credentials is a wrong password: a
    // client told so forgets the saved password and asks the user again.
    try {
        if (!account->Login(username, password)) {
            loginRefused = true;
            ReportActivity();
            Reply(kErr + " Invalid username or password specified\r\n");
            return Next::Stay;
        }
        account->GetMessageList(messages);
    } catch (...) {
        ServiceFailed(kServiceUnavailable);
        throw;
    }
    state = State::Transaction;
    ReportActivity();
    Reply(kOk + " You may enter\r\n");
    return Next::Advance;
}

PopSession::Next PopSession::ProcessAuthApop(const Command&) {
    Reply(kErr + " APOP not supported.\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ProcessAuthQuit(const Command&) {
    account->Disconnect();
    Reply(kOk + " So soon? Bye bye...\r\n");
    return Next::Close;
}

PopSession::Next PopSession::ProcessTransStat(const Command&) {
    int64_t count = 0;
    int64_t total = 0;
    for (const MessageEntry& entry : messages) {
        if (entry.deleted) continue;
        ++count;
        total += entry.size;
    }
    Reply(kOk + " " + std::to_string(count) + " " + std::to_string(total) + "\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ListMessages(const Command& command,
                                          vx::Str (*value)(const MessageEntry& entry)) {
    if (command.size() >= 2) {
        if (MessageEntry* entry = ValidMessage(command[1])) {
            Reply(kOk + " " + std::to_string(entry - messages.data() + 1) + " " + value(*entry) +
                  "\r\n");
        }
        return Next::Stay;
    }
    Reply(kOk + " Messages:\r\n");
    for (size_t i = 0; i < messages.size(); ++i) {
        if (!messages[i].deleted) Reply(std::to_string(i + 1) + " " + value(messages[i]) + "\r\n");
    }
    Reply(".\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransList(const Command& command) {
    return ListMessages(command, ListedSize);
}

PopSession::Next PopSession::ProcessTransUidl(const Command& command) {
    return ListMessages(command, ListedId);
}

PopSession::Next PopSession::ProcessTransDele(const Command& command) {
    if (command.size() < 2) {
        EndSession(kNotEnoughArguments,
                   "PopSession::ProcessTransDele::aCommand::size - Not enough argument specified");
    }
    if (MessageEntry* entry = ValidMessage(command[1])) {
        entry->deleted = true;
        Reply(kOk + " Message marked for deletion\r\n");
    }
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransNoop(const Command&) {
    Reply(kOk + "\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransRset(const Command&) {
    for (MessageEntry& entry : messages) entry.deleted = false;
    Reply(kOk + "\r\n");
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransQuit(const Command&) {
    return Next::Advance;
}

void PopSession::Update() {
    // A failure here ends the session: what was moved stays moved, the rest
    // stays at the service. The client hears -ERR, so it takes none of them
    // for removed and finds the rest again next time (RFC 1939 QUIT).
    try {
        for (const MessageEntry& entry : messages) {
            if (!entry.deleted) continue;
            account->SendMessageToTrash(entry.href);
            ++removed;
        }
    } catch (...) {
        ServiceFailed(kNotAllRemoved);
        throw;
    }
    account->Disconnect();
    ReportActivity();
    Reply(kOk + " Bye bye...\r\n");
}
