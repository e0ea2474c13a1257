#pragma once
// The operations the POP3 and SMTP sessions call on their web mail client.
// Hotmail implements them against the service; tests use an in-memory account.
// Message texts travel in pieces: a download reaches a MessageSink as it
// arrives, a submission is read from a BodySource, so that no session has to
// hold a whole message.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/exception.h"
#include "core/str.h"
#include "http/body_stream.h"
#include "webmail/message_list.h"

// Where a downloaded message goes.
class MessageSink : public vxw::BodySink {
public:
    // The service answered with the message: its bytes follow. Called once,
    // before the first Put, also for an empty message. A failure after it
    // means the message was cut.
    virtual void Begin() = 0;
};

// The service answered an operation with a refusal (an HTTP status outside
// what the operation accepts), as opposed to a failure to reach it or to
// understand it. The text is the operation's own; the code stays 0.
class ServiceRefusal : public vx::Exception {
public:
    ServiceRefusal(const vx::Str& text, int32_t status) : vx::Exception(text), status(status) {}
    int32_t Status() const { return status; }

private:
    int32_t status;
};

class WebmailAccount {
public:
    virtual ~WebmailAccount() = default;
    // True when the service accepted the account; false when it refused it.
    // Throws for any other failure.
    virtual bool Login(const vx::Str& user, const vx::Str& password) = 0;
    virtual void GetMessageList(MessageList& list) = 0;
    // The message text for the href of a list entry, into sink.
    virtual void GetMessage(const vx::Str& url, MessageSink& sink) = 0;
    // The same, the whole text as one string (small messages, tests).
    vx::Str GetMessage(const vx::Str& url) {
        struct Collect : MessageSink {
            vx::Str text;
            void Begin() override { text.clear(); }
            bool Put(const char* data, size_t size) override {
                text.append(data, size);
                return true;
            }
        } collect;
        GetMessage(url, collect);
        return std::move(collect.text);
    }
    // Moves the message to the deleted-items folder; throws on failure.
    virtual void SendMessageToTrash(const vx::Str& url) = 0;
    // Submits one message; throws unless the service accepted it
    // (ServiceRefusal when the service answered no).
    virtual void SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                          vxw::BodySource& text) = 0;
    virtual void Disconnect() = 0;
};

// Makes the web mail client of one new session.
using AccountFactory = std::function<std::unique_ptr<WebmailAccount>()>;
