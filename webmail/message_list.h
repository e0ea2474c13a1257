#pragma once
// The message list of one POP3 session: message number n is entry n - 1.
#include <cstdint>
#include <vector>

#include "core/str.h"

struct MessageEntry {
    vx::Str href;          // the message's URL at the service
    int32_t size = 0;      // bytes, as the service reports them
    bool deleted = false;  // set by DELE, cleared by RSET
    vx::Str folder;        // key of the folder it was listed from
};

using MessageList = std::vector<MessageEntry>;
