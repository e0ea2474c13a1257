#pragma once
// Where the body of a message download goes while it arrives. A message
// source starts with its header lines and is passed on to the session's sink
// piece by piece, Begin first; an answer that is markup (its first non-blank
// character is "<") may be the service's refresh page instead, so it is held
// until its end, up to a ceiling, and judged then.
#include <cstddef>

#include "core/body_stream.h"
#include "core/str.h"
#include "webmail/account.h"

class MessageStream : public vxw::BodySink {
public:
    // Markup held beyond this fails the download: no refresh page comes near it.
    static constexpr size_t kMaxHeld = size_t(64) << 20;

    MessageStream(MessageSink& target, const vx::Str& url) : target(target), url(url) {}

    bool Put(const char* data, size_t size) override;
    // Whether the message began to reach the target.
    bool Passing() const { return state == State::Passing; }
    // Hands over what is held (markup, or a body of blanks only) and starts
    // over for the next answer. Only when not passing.
    void TakeHeld(vx::Str& out);
    // The answer was the message: what was held, and Begin if nothing went
    // yet (an empty message too).
    void Finish(const vx::Str& held);

private:
    enum class State { Deciding, Holding, Passing };
    bool StartPassing();

    MessageSink& target;
    const vx::Str& url;  // names the download in the ceiling's error text
    State state = State::Deciding;
    vx::Str held;
};
