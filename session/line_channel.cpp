#include "session/line_channel.h"

#include <algorithm>

#include "core/log.h"
#include "core/thread.h"
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
      logClientLines(ExtraLogging()) {
    connection.SetTimeout(lineTimeoutMs);
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
    if (logClientLines) LogClientLine(line);
    return line;
}

vx::Str LineChannel::ReadSecretLine() {
    vx::Str line(ReadBoundedLine());
    if (logClientLines) Log(texts.client + vx::Str("****"));
    return line;
}

vx::Str LineChannel::ReadBlock(size_t count) {
    return vxw::ReadBlock(received, connection, count, kReceiveSize, lineTimeoutMs);
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
        return vxw::ReadLineView(received, connection, kMaxLineLength, kReceiveSize,
                                 lineTimeoutMs);
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
    Log(texts.client + shown);
}

void LineChannel::Reply(const vx::Str& text) {
    Pause();
    ReplyNow(text);
}

void LineChannel::ReplyNow(const vx::Str& text) {
    if (ExtraLogging()) LogReply(text);
    connection.SendText(text);
}

void LineChannel::ReplyChar(char byte) {
    if (ExtraLogging()) Log(texts.server + vx::Str(1, byte));
    connection.Send(&byte, 1);
}

void LineChannel::ReplyBeforeClosing(const vx::Str& text) {
    try {
        ReplyNow(text);
    } catch (...) {
    }
}

void LineChannel::LogReply(const vx::Str& text) const {
    Log(texts.server + ReplyLogText(text));
}

void LineChannel::LogReplyPiece(const vx::Str& text) const {
    Log(texts.server + LineBreaksAsTabs(text));
}

vx::Str LineChannel::ReplyLogText(const vx::Str& text) {
    size_t length = text.size();
    if (length >= 2 && text.compare(length - 2, 2, "\r\n") == 0) length -= 2;
    return LineBreaksAsTabs(text.substr(0, length));
}

}  // namespace vxw
