#pragma once
// The mailboxes the service offers when it is given no mail folder.
#include <vector>

#include "tools/httpmail/mailbox.h"

namespace httpmail {

// alice (Digest, password "wonderland") and bob@msn.com (Basic, password "builder").
std::vector<Account> BuiltInSamples();
// Appends `count` generated messages of about `size` bytes each to the inbox,
// all arrived at `received`.
void AddGeneratedMessages(Account& account, size_t count, size_t size, int64_t received);

}  // namespace httpmail
