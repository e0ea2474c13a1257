#pragma once
// The server's side of an IMAP conversation on the shared line channel:
// responses gathered and sent in blocks (a FETCH over a large folder is one
// send per block, not one per line, and the configured pause comes once per
// command), each response line logged with ExtraLogging, and message data
// that travels as a literal sent in pieces as it arrives. A literal that was
// announced but not completed leaves the connection out of step, so the
// writer remembers it: the session must then end instead of answering.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/body_stream.h"
#include "core/str.h"
#include "session/line_channel.h"

class ImapResponseWriter : public vxw::BodySink {
public:
    explicit ImapResponseWriter(vxw::LineChannel& channel) : channel(channel) {}

    // Response text, complete lines with their CR LF (a line may end in a
    // literal announcement "{n}" CR LF followed by the literal's bytes).
    void Write(std::string_view text);
    // A tagged reply, rest with its CR LF, whose tag the log does not show
    // ("**** BAD ..."): the tag came from a line that may be a password.
    void WriteHidingTag(std::string_view tag, std::string_view rest);
    // A literal announcement; its size bytes must follow through WriteData.
    void BeginLiteral(uint64_t size);
    void WriteData(const char* data, size_t size);
    // The same, as the sink a literal's bytes are copied into.
    bool Put(const char* data, size_t size) override {
        WriteData(data, size);
        return true;
    }
    // Sends what is gathered; the first send after StartCommand pauses first.
    void Flush();
    // The next send belongs to a new command: pause once before it.
    void StartCommand() { paused = false; }

    // True while an announced literal still lacks bytes.
    bool LiteralOpen() const { return literalLeft > 0; }
    // True once a send to the client failed.
    bool Broken() const { return broken; }

private:
    void LogLines(std::string_view text);
    void Send(const char* data, size_t size);

    vxw::LineChannel& channel;
    vx::Str pending;
    uint64_t literalLeft = 0;
    bool paused = false;
    bool broken = false;
};
