#pragma once
// The body of a RETR or TOP answer, passed on to the mail client as the web
// mail client downloads it: the folder header line, the text (for TOP cut to
// the header section and the asked-for body lines), dot-stuffed, then CR LF
// and the terminating line. Each piece goes out as it arrives; what is held at
// any time is one piece and its stuffed copy, whatever the message's size.
#include <cstddef>
#include <cstdint>

#include "core/str.h"
#include "pop3/dot_stuffer.h"
#include "pop3/message_text.h"
#include "pop3/status_line_writer.h"
#include "session/body_log.h"
#include "session/line_channel.h"
#include "webmail/account.h"

class MessageRelay : public MessageSink {
public:
    // topLines is the line count of a TOP; negative counts keep their
    // meaning, so top says whether there is one.
    MessageRelay(vxw::LineChannel& channel, StatusLineWriter& statusLine, const vx::Str& folder,
                 bool top, int64_t topLines);
    ~MessageRelay() override;  // logs what went out of a message cut short

    // The service answered: the status line ends, the folder line follows.
    void Begin() override;
    // False once TOP has its lines: the rest of the text is not needed.
    bool Put(const char* data, size_t size) override;
    // The download is complete: the rest, CR LF and the terminating line.
    void End();
    // Whether the service answered with the message (the status line ended).
    bool Begun() const { return begun; }

private:
    void Stuff(const char* data, size_t size);
    void Flush();
    void Emit(const char* data, size_t size);
    void LogPending();

    vxw::LineChannel& channel;
    StatusLineWriter& statusLine;
    const vx::Str header;
    const bool top;
    TopLinesCut cut;
    DotStuffer stuffer;
    vx::Str block;    // stuffed bytes not yet sent
    vx::Str cutText;  // TOP: what of the last piece belongs to the answer
    const bool logging;
    vx::Str logged;  // what the log shows of the sent bytes: the first 4 KB
    vxw::BodyLog bodyLog;
    bool begun = false;
    bool wanted = true;  // TOP: more of the text belongs to the answer
};
