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
    target.ForgetExpected(message.href);
    return target.Add(newHref, message.flags, message.keywords, now, message.arrived);
}

void CarriedMessages::ForgetTheRest() {
    for (Message& message : messages) {
        if (message.done) continue;
        message.done = true;
        target.ForgetExpected(message.href);
    }
}
