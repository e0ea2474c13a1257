#pragma once
// Messages the gateway is about to put into a folder (COPY, MOVE, the move of
// an expunge to the deleted items), with the flags, keywords and arrival
// each is to keep there. Expect tells the folder's state of each before the
// first one goes, so that the caller's one Save covers a crash at any point;
// Arrive records one that got there under its new URL; whatever did not get
// there is forgotten again, also when the caller leaves by an exception.
#include <cstdint>
#include <vector>

#include "core/str.h"
#include "imap_state/folder_state.h"

class CarriedMessages {
public:
    explicit CarriedMessages(ImapFolderState& target) : target(target) {}
    ~CarriedMessages();
    CarriedMessages(const CarriedMessages&) = delete;
    CarriedMessages& operator=(const CarriedMessages&) = delete;

    // The next message, by its URL where it is now; its number is the count
    // of messages expected before it.
    void Expect(const vx::Str& href, uint8_t flags, std::vector<vx::Str> keywords,
                int64_t arrived);
    // Message number k is in the folder at newHref; returns its UID there.
    uint32_t Arrive(size_t k, const vx::Str& newHref, int64_t now);
    // Takes back what was expected and did not arrive.
    void ForgetTheRest();

private:
    struct Message {
        vx::Str href;
        uint8_t flags;
        std::vector<vx::Str> keywords;
        int64_t arrived;
        bool done = false;
    };

    ImapFolderState& target;
    std::vector<Message> messages;
};
