#include "smtp/smtp_session.h"

#include <iterator>
#include <string>

#include "core/config.h"
#include "core/exception.h"
#include "text/ascii.h"

namespace {

constexpr int kCommandLimit = 1000;  // per run of a stage

const char kNotAuthenticated[] = "Not yet authenticated";
const char kInvalidForStage[] = "Invalid command for this stage";

bool StartsWithNoCase(const vx::Str& line, std::string_view prefix) {
    return line.size() >= prefix.size() &&
           vx::Ascii::EqualNoCase(std::string_view(line).substr(0, prefix.size()), prefix);
}

// Credentials never reach the log. An AUTH line shows its mechanism and
// "****" for whatever follows it, whichever mechanism it names: a client that
// tries one this session does not offer may still send a secret with it.
vx::Str MaskCredentials(const vx::Str& line) {
    const std::string_view auth = "AUTH ";
    if (!StartsWithNoCase(line, auth)) return line;
    size_t blank = line.find(' ', auth.size());
    if (blank == vx::Str::npos) return line;
    vx::Str mechanism = line.substr(auth.size(), blank - auth.size());
    for (char& c : mechanism) c = vx::Ascii::ToUpper(c);
    return "AUTH " + mechanism + " ****";
}

}  // namespace

const SmtpSession::CommandEntry SmtpSession::kNotAuthenticatedCommands[] = {
    {"HELO", &SmtpSession::ProcessHelo}, {"EHLO", &SmtpSession::ProcessEhlo},
    {"AUTH", &SmtpSession::ProcessAuth}, {"NOOP", &SmtpSession::ProcessNoop},
    {"RSET", &SmtpSession::ProcessRset}, {"QUIT", &SmtpSession::ProcessQuit},
};

const SmtpSession::CommandEntry SmtpSession::kAuthenticatedCommands[] = {
    {"MAIL", &SmtpSession::ProcessMail}, {"VRFY", &SmtpSession::ProcessVrfy},
    {"RSET", &SmtpSession::ProcessRset}, {"NOOP", &SmtpSession::ProcessNoop},
    {"QUIT", &SmtpSession::ProcessQuit},
};

const SmtpSession::CommandEntry SmtpSession::kTransactionCommands[] = {
    {"RCPT", &SmtpSession::ProcessRcpt}, {"DATA", &SmtpSession::ProcessData},
    {"VRFY", &SmtpSession::ProcessVrfy}, {"NOOP", &SmtpSession::ProcessNoop},
    {"RSET", &SmtpSession::ProcessRset}, {"QUIT", &SmtpSession::ProcessQuit},
};

const SmtpSession::StageCommands SmtpSession::kStages[kStageCount] = {
    {kNotAuthenticatedCommands, std::size(kNotAuthenticatedCommands), kNotAuthenticated},
    {kAuthenticatedCommands, std::size(kAuthenticatedCommands), kInvalidForStage},
    {kTransactionCommands, std::size(kTransactionCommands), kInvalidForStage},
};

SmtpSession::SmtpSession(vxw::SocketHandle connection, const AccountFactory& makeAccount)
    : channel(connection, {"SmtpSession::Client - ", "SmtpSession::Server - "}, MaskCredentials),
      account(makeAccount()) {
    if (!account) throw vx::Exception("SmtpSession::SmtpSession - No web mail client");
}

SmtpSession::~SmtpSession() {
    try {
        account->Disconnect();
    } catch (...) {
    }
}

void SmtpSession::Run() {
    Reply(220, Config::Instance().Address() + " SMTP ready to roll");
    for (stage = Stage::NotAuthenticated; stage != Stage::Ended;) {
        // A stage whose run has used up its commands ends the session
        // without a reply, whichever stage it is.
        int& count = commandsRead[Index(stage)];
        if (count == kCommandLimit) break;
        ++count;
        Stage next = Dispatch(ReadCommand());
        if (next == Stage::Transaction && stage != Stage::Transaction) {
            commandsRead[Index(Stage::Transaction)] = 0;
        }
        stage = next;
    }
}

SmtpSession::Command SmtpSession::ReadCommand() {
    vx::Str line = channel.ReadCommandLine();
    size_t blank = line.find(' ');
    Command command;
    command.word = line.substr(0, blank);
    if (blank != vx::Str::npos) command.argument = line.substr(blank + 1);
    for (char& c : command.word) c = vx::Ascii::ToUpper(c);
    return command;
}

SmtpSession::Stage SmtpSession::Dispatch(const Command& command) {
    const StageCommands& commands = kStages[Index(stage)];
    for (size_t i = 0; i < commands.count; ++i) {
        if (command.word == commands.entries[i].name)
            return (this->*commands.entries[i].handler)(command);
    }
    Reply(500, commands.otherwise);
    return stage;
}

void SmtpSession::Reply(int code, const vx::Str& text) {
    channel.Reply(std::to_string(code) + " " + text + "\r\n");
}

SmtpSession::Stage SmtpSession::ProcessHelo(const Command&) {
    Reply(250, Config::Instance().Address());
    return stage;
}

// Exactly two lines: the greeting name and the one extension offered.
SmtpSession::Stage SmtpSession::ProcessEhlo(const Command&) {
    channel.Pause();
    channel.ReplyNow("250-" + Config::Instance().Address() + "\r\n");
    channel.ReplyNow("250 AUTH PLAIN LOGIN\r\n");
    return stage;
}

SmtpSession::Stage SmtpSession::ProcessVrfy(const Command&) {
    Reply(550, "No local users");
    return stage;
}

SmtpSession::Stage SmtpSession::ProcessNoop(const Command&) {
    Reply(250, "OK");
    return stage;
}

// Drops the envelope; an open transaction ends with it.
SmtpSession::Stage SmtpSession::ProcessRset(const Command&) {
    ClearEnvelope();
    Reply(250, "OK");
    return stage == Stage::Transaction ? Stage::Authenticated : stage;
}

SmtpSession::Stage SmtpSession::ProcessQuit(const Command&) {
    account->Disconnect();
    Reply(221, "That's all she wrote");
    return Stage::Ended;
}

void SmtpSession::ClearEnvelope() {
    sender.clear();
    recipients.clear();
}
