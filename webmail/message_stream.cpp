#include "webmail/message_stream.h"

#include "core/exception.h"

bool MessageStream::Put(const char* data, size_t size) {
    if (state == State::Passing) return target.Put(data, size);
    if (held.size() + size > kMaxHeld)
        throw vx::Exception("Hotmail::GetMessage::Size - The answer exceeds " +
                            std::to_string(kMaxHeld) + " bytes - " + url);
    held.append(data, size);
    if (state == State::Holding) return true;
    size_t first = held.find_first_not_of(" \t\r\n");
    if (first == vx::Str::npos) return true;
    if (held[first] == '<') {
        state = State::Holding;
        return true;
    }
    return StartPassing();
}

bool MessageStream::StartPassing() {
    state = State::Passing;
    target.Begin();
    vx::Str first;
    first.swap(held);
    return target.Put(first.data(), first.size());
}

void MessageStream::TakeHeld(vx::Str& out) {
    out.swap(held);
    held.clear();
    state = State::Deciding;
}

void MessageStream::Finish(const vx::Str& text) {
    if (state == State::Passing) return;
    state = State::Passing;
    target.Begin();
    if (!text.empty()) target.Put(text.data(), text.size());
}
