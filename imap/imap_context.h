#pragma once
// What every IMAP session of one listener shares: where its web mail clients
// come from, the state store, and the poll interval of IDLE.
#include <cstdint>
#include <memory>

#include "imap_state/state_store.h"
#include "webmail/account.h"

struct ImapContext {
    AccountFactory makeAccount;
    std::shared_ptr<ImapStateStore> store;
    // How often IDLE lists the folder again to report new and vanished mail.
    uint32_t idlePollMs = 30000;
    // How long a logged-in client may stay silent (RFC 3501 5.4: at least 30
    // minutes); the configured Timeout when that is longer.
    uint32_t autologoutMs = 30 * 60 * 1000;
};
