#include "imap/response_writer.h"

#include <algorithm>

#include "core/exception.h"
#include "core/log.h"

namespace {

// Gathered output is sent once it reaches this.
constexpr size_t kSendBlock = 64 * 1024;

}  // namespace

void ImapResponseWriter::Write(std::string_view text) {
    if (literalLeft > 0)
        throw vx::Exception("ImapResponseWriter::Write - Response text inside a literal");
    if (vxw::LineChannel::ExtraLogging()) LogLines(text);
    pending.append(text);
    if (pending.size() >= kSendBlock) Flush();
}

void ImapResponseWriter::WriteHidingTag(std::string_view tag, std::string_view rest) {
    if (literalLeft > 0)
        throw vx::Exception("ImapResponseWriter::WriteHidingTag - Response text inside a literal");
    if (vxw::LineChannel::ExtraLogging()) LogLines("**** " + vx::Str(rest));
    pending.append(tag).append(" ").append(rest);
    if (pending.size() >= kSendBlock) Flush();
}

void ImapResponseWriter::LogLines(std::string_view text) {
    while (!text.empty()) {
        size_t end = text.find("\r\n");
        std::string_view line = text.substr(0, end);
        channel.LogReply(vx::Str(line));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 2);
    }
}

void ImapResponseWriter::BeginLiteral(uint64_t size) {
    Write("{" + std::to_string(size) + "}\r\n");
    literalLeft = size;
}

void ImapResponseWriter::WriteData(const char* data, size_t size) {
    if (size > literalLeft)
        throw vx::Exception("ImapResponseWriter::WriteData - More bytes than the literal holds");
    literalLeft -= size;
    if (vxw::LineChannel::ExtraLogging() && size > 0) channel.LogReply(vx::Str(data, size));
    if (pending.size() + size < kSendBlock) {
        pending.append(data, size);
        return;
    }
    Flush();
    if (!paused) {
        channel.Pause();
        paused = true;
    }
    Send(data, size);
}

void ImapResponseWriter::Send(const char* data, size_t size) {
    try {
        channel.Send(data, size);
    } catch (...) {
        broken = true;
        throw;
    }
}

void ImapResponseWriter::Flush() {
    if (pending.empty()) return;
    if (!paused) {
        channel.Pause();
        paused = true;
    }
    vx::Str block;
    block.swap(pending);
    Send(block.data(), block.size());
}
