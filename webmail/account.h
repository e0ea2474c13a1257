#pragma once
// The operations the POP3 and SMTP sessions call on their web mail client.
// Hotmail implements them against the service; tests use an in-memory account.
#include <functional>
#include <memory>
#include <vector>

#include "core/str.h"
#include "webmail/message_list.h"

class WebmailAccount {
public:
    virtual ~WebmailAccount() = default;
    // True when the service accepted the account; false when it refused it.
    // Throws for any other failure.
    virtual bool Login(const vx::Str& user, const vx::Str& password) = 0;
    virtual void GetMessageList(MessageList& list) = 0;
    // The whole message text for the href of a list entry.
    virtual vx::Str GetMessage(const vx::Str& url) = 0;
    // Moves the message to the deleted-items folder; throws on failure.
    virtual void SendMessageToTrash(const vx::Str& url) = 0;
    // Submits one message, its text given in parts; throws unless the
    // service accepted it.
    virtual void SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                          const vx::StrParts& text) = 0;
    virtual void Disconnect() = 0;
};

// Makes the web mail client of one new session.
using AccountFactory = std::function<std::unique_ptr<WebmailAccount>()>;
