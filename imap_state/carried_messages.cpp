#include "imap_state/carried_messages.h"

CarriedMessages::~CarriedMessages() {
    try {
        ForgetTheRest();
    } catch (...) {
    }
}

void CarriedMessages::Expect(const vx::Str& href, uint8_t flags, std::vector<vx::Str> keywords,
                             int64_t arrived) {
    target.Expect(href, flags, keywords, arrived);
    messages.push_back({href, flags, std::move(keywords), arrived});
}

uint32_t CarriedMessages::Arrive(size_t k, const vx::Str& newHref, int64_t now) {
    Message& message = messages.at(k);
    message.done = true;
    // Added before the note goes: a listing of another session that finds
    // the message in between still finds its flags and arrival.
    uint32_t uid = target.Add(newHref, message.flags, message.keywords, now, message.arrived);
    target.ForgetExpected(message.href);
    return uid;
}

void CarriedMessages::ForgetTheRest() {
    for (Message& message : messages) {
        if (message.done) continue;
        message.done = true;
        target.ForgetExpected(message.href);
    }
}
