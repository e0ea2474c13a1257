#include "net/line_channel.h"

#include <algorithm>

#include "core/config.h"
#include "core/log.h"
#include "core/thread.h"

namespace vxw {
namespace {

constexpr size_t kMaxLineLength = 10000;
constexpr size_t kReceiveSize = 50000;

}  // namespace

int32_t ConfiguredTimeoutMs() {
    int64_t ms = int64_t{Config::Instance().Timeout()} * 1000;
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(ms, 0), INT32_MAX));
}

LineChannel::LineChannel(SocketHandle handle, const LogPrefixes& prefixes, ClientLineMask mask)
    : connection(handle),
      prefixes(prefixes),
      mask(std::move(mask)),
      logClientLines(ExtraLogging()) {
    connection.SetTimeout(ConfiguredTimeoutMs());
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
    return ReadLine();
}

vx::Str LineChannel::ReadLine() {
    return vx::Str(ReadLineView());
}

std::string_view LineChannel::ReadLineView() {
    std::string_view line = vxw::ReadLineView(received, connection, kMaxLineLength, kReceiveSize);
    if (logClientLines) LogClientLine(line);
    return line;
}

vx::Str LineChannel::ReadSecretLine() {
    vx::Str line(vxw::ReadLineView(received, connection, kMaxLineLength, kReceiveSize));
    if (logClientLines) Log(prefixes.client + vx::Str("****"));
    return line;
}

vx::Str LineChannel::ReadBlock(size_t count) {
    return vxw::ReadBlock(received, connection, count, kReceiveSize);
}

bool LineChannel::WaitForInput(int32_t ms) {
    return received.PendingSize() > 0 || connection.WaitUntilReadable(ms);
}

void LineChannel::LogClientLine(std::string_view line) const {
    vx::Str text(line);
    Log(prefixes.client + (mask ? mask(text) : text));
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
    if (ExtraLogging()) Log(prefixes.server + vx::Str(1, byte));
    connection.Send(&byte, 1);
}

void LineChannel::LogReply(const vx::Str& text) const {
    Log(prefixes.server + ReplyLogText(text));
}

vx::Str LineChannel::ReplyLogText(const vx::Str& text) {
    size_t length = text.size();
    if (length >= 2 && text.compare(length - 2, 2, "\r\n") == 0) length -= 2;
    vx::Str shown = text.substr(0, length);
    for (char& c : shown) {
        if (c == '\r' || c == '\n') c = '\t';
    }
    return shown;
}

}  // namespace vxw
