#include "session/line_channel.h"

#include <algorithm>
#include <exception>

#include "core/log.h"
#include "core/thread.h"
#include "session/session_report.h"
#include "settings/config.h"

namespace vxw {
namespace {

constexpr size_t kMaxLineLength = 10000;
constexpr size_t kReceiveSize = 50000;

vx::Str LineBreaksAsTabs(vx::Str text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = '\t';
    }
    return text;
}

}  // namespace

LineChannel::LineChannel(SocketHandle handle, const Texts& texts, ClientLineMask mask)
    : connection(handle),
      texts(texts),
      mask(std::move(mask)),
      control(SessionControl::Current()),
      lineTimeoutMs(ConfiguredTimeoutMs()),
      logClientLines(ExtraLogging()),
      unwindingAtStart(std::uncaught_exceptions()) {
    connection.SetTimeout(lineTimeoutMs);
}

LineChannel::~LineChannel() {
    bool unwinding = std::uncaught_exceptions() > unwindingAtStart;
    if (!unwinding || lastWordsSaid || clientGone || texts.failed == nullptr) return;
    // An abort has shut the connection: there is nobody to tell.
    if (control != nullptr && control->Aborted()) return;
    ReplyBeforeClosing(texts.failed);
}

template <class Operation>
auto LineChannel::WithClient(bool reading, Operation&& operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const SocketError& failure) {
        ClientFailed(failure, reading);
        throw;
    }
}

void LineChannel::ClientFailed(const SocketError& failure, bool reading) {
    if (clientGone) return;
    bool timedOut = IsTimeOut(failure);
    if (SessionReport* report = SessionReport::Current()) {
        report->NoteClient(timedOut ? SessionReport::Ending::ClientTimedOut
                                    : SessionReport::Ending::ClientClosed);
    }
    // A client too slow to send its line hears why before the connection
    // closes; one that is gone, or that does not take what it is sent,
    // cannot.
    if (timedOut && reading && texts.timedOut != nullptr) ReplyBeforeClosing(texts.timedOut);
    clientGone = true;
}

bool LineChannel::ExtraLogging() {
    return Config::Instance().ExtraLogging();
}

void LineChannel::Pause() const {
    int32_t delay = Config::Instance().Delay();
    if (delay > 0) Sleep(static_cast<uint32_t>(delay));
}

vx::Str LineChannel::ReadCommandLine() {
    Pause();
    logClientLines = ExtraLogging();
    if (control == nullptr) return ReadLine();
    // Waiting here is what a shut-down may cut short; a command that arrives
    // as the shut-down begins is not taken either.
    if (!control->EnterPrompt(connection)) CloseAtPrompt();
    vx::Str line;
    try {
        line = ReadLine();
    } catch (...) {
        if (!control->LeavePrompt()) CloseAtPrompt();
        throw;
    }
    if (!control->LeavePrompt()) CloseAtPrompt();
    return line;
}

void LineChannel::CloseAtPrompt() {
    // A read that the shut-down woke failed for that reason, not the client's.
    clientGone = false;
    if (!control->Aborted() && *control->ClosingReply() != '\0') {
        ReplyBeforeClosing(control->ClosingReply());
    }
    throw SessionClosed("vxw::LineChannel::ReadCommandLine - The service is shutting down");
}

vx::Str LineChannel::ReadLine() {
    return vx::Str(ReadLineView());
}

std::string_view LineChannel::ReadLineView() {
    std::string_view line = ReadBoundedLine();
    if (!logClientLines) return line;
    if (inBody)
        LogBodyLine(line);
    else
        LogClientLine(line);
    return line;
}

void LineChannel::StartBody() {
    inBody = true;
    bodyLog.Clear();
}

void LineChannel::EndBody() {
    inBody = false;
    LogBodyTail();
}

void LineChannel::LogBodyTail() {
    if (logClientLines && bodyLog.Cut()) LogWithoutContext(texts.client + bodyLog.TailText());
    bodyLog.Clear();
}

void LineChannel::LogBodyLine(std::string_view line) {
    // The lone dot ends the body (a dot of the text is doubled): it is no
    // part of it, and comes after the line that stands for the rest.
    if (line == ".") {
        LogBodyTail();
        return LogClientLine(line);
    }
    std::string_view shown = bodyLog.Add(line);
    bool within = !shown.empty() || (line.empty() && !bodyLog.Cut());
    bodyLog.Add("\r\n");
    if (within) LogClientLine(shown);
}

vx::Str LineChannel::ReadSecretLine() {
    vx::Str line(ReadBoundedLine());
    if (logClientLines) LogWithoutContext(texts.client + vx::Str("****"));
    return line;
}

vx::Str LineChannel::ReadBlock(size_t count) {
    return WithClient(true,
        [&] { return vxw::ReadBlock(received, connection, count, kReceiveSize, lineTimeoutMs); });
}

bool LineChannel::WaitForInput(int32_t ms) {
    if (received.PendingSize() > 0) return true;
    if (control == nullptr) return connection.WaitUntilReadable(ms);
    // A client that waits for news (IMAP IDLE) is at its prompt too: a
    // shut-down closes the session here.
    if (!control->EnterPrompt(connection)) CloseAtPrompt();
    bool ready = connection.WaitUntilReadable(ms);
    if (!control->LeavePrompt()) CloseAtPrompt();
    return ready;
}

std::string_view LineChannel::ReadBoundedLine() {
    try {
        return WithClient(true, [&] {
            return vxw::ReadLineView(received, connection, kMaxLineLength, kReceiveSize,
                                     lineTimeoutMs);
        });
    } catch (const LineTooLong&) {
        ReplyBeforeClosing(texts.lineTooLong);
        throw;
    }
}

// Bare CRs and LFs would start new lines in the log, and a piece after one
// could be a command of its own ("USER x\nPASS secret"): each piece is masked
// on its own and the pieces are joined with tabs.
void LineChannel::LogClientLine(std::string_view line) const {
    vx::Str shown;
    size_t start = 0;
    for (;;) {
        size_t end = line.find_first_of("\r\n", start);
        vx::Str piece(line.substr(start, end == std::string_view::npos ? end : end - start));
        shown += mask ? mask(piece) : piece;
        if (end == std::string_view::npos) break;
        shown += '\t';
        start = end + 1;
    }
    LogWithoutContext(texts.client + shown);
}

void LineChannel::Reply(const vx::Str& text) {
    Pause();
    ReplyNow(text);
}

void LineChannel::ReplyNow(const vx::Str& text) {
    if (ExtraLogging()) LogReply(text);
    WithClient(false, [&] { connection.SendText(text); });
}

void LineChannel::ReplyChar(char byte) {
    if (ExtraLogging()) LogWithoutContext(texts.server + vx::Str(1, byte));
    WithClient(false, [&] { connection.Send(&byte, 1); });
}

void LineChannel::Send(const char* data, size_t length) {
    WithClient(false, [&] { connection.Send(data, length); });
}

void LineChannel::ReplyBeforeClosing(const vx::Str& text) {
    lastWordsSaid = true;
    if (clientGone) return;
    try {
        ReplyNow(text);
    } catch (...) {
    }
}

void LineChannel::LogReply(const vx::Str& text) const {
    LogWithoutContext(texts.server + ReplyLogText(text));
}

void LineChannel::LogReplyPiece(const vx::Str& text) const {
    LogWithoutContext(texts.server + LineBreaksAsTabs(text));
}

vx::Str LineChannel::ReplyLogText(const vx::Str& text) {
    size_t length = text.size();
    if (length >= 2 && text.compare(length - 2, 2, "\r\n") == 0) length -= 2;
    return LineBreaksAsTabs(text.substr(0, length));
}

}  // namespace vxw
