#include "smtp/smtp_session.h"

#include <iterator>
#include <string>

#include "core/exception.h"
#include "session/session_report.h"
#include "settings/config.h"
#include "text/ascii.h"

namespace {

constexpr int kCommandLimit = 1000;  // per run of a stage, RCPT apart
// RCPT commands of one message: the first kMaxRecipients are taken, the others
// refused one by one, so a client that sends more still gets its message out
// to those taken.
constexpr int kRecipientCommandLimit = 10000;

const char kNotAuthenticated[] = "Not yet authenticated";
const char kInvalidForStage[] = "Invalid command for this stage";

// The extensions EHLO announces, in alphabetical order, after the greeting name.
const char* const kExtensions[] = {
    "AUTH PLAIN LOGIN",
    "SIZE 50000000",
};

bool StartsWithNoCase(std::string_view text, const char* prefix) {
    std::string_view start(prefix);
    return text.size() >= start.size() && vx::Ascii::EqualNoCase(text.substr(0, start.size()), start);
}

bool SenderArgument(std::string_view arguments, bool) {
    return StartsWithNoCase(arguments, "FROM:");
}

bool RecipientArgument(std::string_view arguments, bool) {
    return StartsWithNoCase(arguments, "TO:");
}

// What the log shows of a client line before AUTH (see CredentialMask): the
// commands of RFC 5321 and its extensions with the arguments they take.
using Mask = vxw::CredentialMask;
const Mask::Known kKnownCommands[] = {
    {"HELO", Mask::OneWord}, {"EHLO", Mask::OneWord},       {"MAIL", SenderArgument},
    {"RCPT", RecipientArgument}, {"DATA", Mask::None},      {"RSET", Mask::None},
    {"NOOP", Mask::None},    {"QUIT", Mask::None},          {"VRFY", Mask::OneWord},
    {"HELP", Mask::None},    {"STARTTLS", Mask::None},
};

vx::Str Counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
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
    : mask(kKnownCommands),
      channel(connection,
              {"SmtpSession::Client - ", "SmtpSession::Server - ", "500 Line too long\r\n",
               "421 4.4.2 Timed out waiting for the client\r\n",
               "421 4.3.0 Local error in processing - try again later\r\n"},
              [this](const vx::Str& line) { return MaskCredentials(line); }),
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
    ReportActivity();
    Reply(220, Config::Instance().Address() + " SMTP ready to roll");
    for (stage = Stage::NotAuthenticated; stage != Stage::Ended;) {
        Command command = ReadCommand();
        if (!CountCommand(command)) {
            // The client hears why, so that it does not retry the same way for ever.
            channel.ReplyBeforeClosing("500 Too many commands\r\n");
            if (vxw::SessionReport* report = vxw::SessionReport::Current())
                report->EndAs("too many commands");
            break;
        }
        Stage next = Dispatch(command);
        if (next == Stage::Transaction && stage != Stage::Transaction) {
            commandsRead[Index(Stage::Transaction)] = 0;
            recipientCommands = 0;
        }
        stage = next;
    }
}

// Credentials never reach the log. A message's text is the client's mail,
// not commands: only what reads as a credential line is hidden there.
vx::Str SmtpSession::MaskCredentials(const vx::Str& line) {
    vx::Str shown;
    if (readingText) {
        return vxw::MaskAuthCommand(line, shown) || vxw::MaskPassCommand(line, shown) ? shown
                                                                                      : line;
    }
    return mask.Shown(line, stage != Stage::NotAuthenticated);
}

void SmtpSession::ReportActivity() const {
    vxw::SessionReport* report = vxw::SessionReport::Current();
    if (report == nullptr) return;
    if (stage == Stage::NotAuthenticated) {
        report->SetActivity(loginRefused ? "login refused" : "no login");
        return;
    }
    report->SetActivity(Counted(messagesSent, "message", "messages") + " sent, " +
                        Counted(recipientsServed, "recipient", "recipients"));
}

bool SmtpSession::CountCommand(const Command& command) {
    if (stage == Stage::Transaction && command.word == "RCPT") {
        return ++recipientCommands <= kRecipientCommandLimit;
    }
    return ++commandsRead[Index(stage)] <= kCommandLimit;
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

// The greeting name, then one line per extension.
SmtpSession::Stage SmtpSession::ProcessEhlo(const Command&) {
    channel.Pause();
    channel.ReplyNow("250-" + Config::Instance().Address() + "\r\n");
    for (size_t i = 0; i < std::size(kExtensions); ++i) {
        const char* separator = i + 1 < std::size(kExtensions) ? "-" : " ";
        channel.ReplyNow(vx::Str("250") + separator + kExtensions[i] + "\r\n");
    }
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
