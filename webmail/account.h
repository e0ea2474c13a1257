#pragma once
// The operations the POP3 and SMTP sessions call on their web mail client.
// Hotmail implements them against the service; tests use an in-memory account.
// Message texts travel in pieces: a download reaches a MessageSink as it
// arrives, a submission is read from a BodySource, so that no session has to
// hold a whole message.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/body_stream.h"
#include "core/exception.h"
#include "core/str.h"
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

// A folder of the account, as the service's folder root lists it.
struct WebmailFolder {
    vx::Str url;
    // The service's hm:special: "inbox", "sentitems", "bulkmail",
    // "deleteditems", "msnpromo", or "" for a folder of the user's.
    vx::Str special;
    vx::Str displayName;  // UTF-8
};

// One message of a folder listing, with what the service said of it.
struct ListedMessage {
    vx::Str href;
    int64_t size = -1;  // bytes; -1 when the listing gave none
    int read = -1;      // the service's read state: 1, 0, or -1 where it keeps none
    // The urn:schemas:mailheader: properties, where the listing carried any:
    // the header fields' values as the service gives them ("" for a field
    // the message lacks).
    bool hasHeaders = false;
    vx::Str subject, from, to, date;
    vx::Str received;  // hm:date, when the message arrived (ISO 8601), or ""

    // The listed value of a header field (Subject, From, To or Date, any
    // letter case); nullptr for a field the listing does not carry.
    const vx::Str* Field(std::string_view name) const {
        if (!hasHeaders) return nullptr;
        const struct {
            const char* name;
            const vx::Str ListedMessage::*value;
        } kFields[] = {{"subject", &ListedMessage::subject},
                       {"from", &ListedMessage::from},
                       {"to", &ListedMessage::to},
                       {"date", &ListedMessage::date}};
        for (const auto& field : kFields) {
            if (name.size() != std::char_traits<char>::length(field.name)) continue;
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = (name[i] | 0x20) == field.name[i];
            if (same) return &(this->*field.value);
        }
        return nullptr;
    }
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
    // The account logged in to ("" before a login), for what the services
    // remember per account.
    virtual vx::Str AccountName() const { return vx::Str(); }

    // What the IMAP service needs beyond POP3 and SMTP. A client that does
    // not offer one throws vx::Exception; one whose service refuses it throws
    // ServiceRefusal (a service without COPY or DELETE answers 405 or 501).
    //
    // Every folder of the account, whatever the folder switches say.
    virtual void ListFolders(std::vector<WebmailFolder>&) { NotOffered("ListFolders"); }
    // The messages of one folder, in the service's order.
    virtual void ListFolder(const vx::Str&, std::vector<ListedMessage>&) {
        NotOffered("ListFolder");
    }
    // Sets the service's read state of a message.
    virtual void SetReadState(const vx::Str&, bool) { NotOffered("SetReadState"); }
    // Moves or copies a message into another folder; returns the message's
    // URL there.
    virtual vx::Str MoveMessage(const vx::Str&, const vx::Str&) { NotOffered("MoveMessage"); }
    virtual vx::Str CopyMessage(const vx::Str&, const vx::Str&) { NotOffered("CopyMessage"); }
    // Deletes a message for good.
    virtual void DeleteMessage(const vx::Str&) { NotOffered("DeleteMessage"); }
    // Stores a new message, unread, at url (a fresh name in a folder, see
    // NewMessageUrl): WebDAV PUT. Returns the URL the service gives it.
    virtual vx::Str PutMessage(const vx::Str&, vxw::BodySource&) { NotOffered("PutMessage"); }
    // The user's own folders (WebDAV MKCOL, MOVE and DELETE of collections):
    // a new folder of that display name (UTF-8, "/" allowed) under the folder
    // root; a folder under a new display name; a folder with its messages.
    // Where the result lands is learnt by listing the folders again.
    virtual void MakeFolder(const vx::Str&) { NotOffered("MakeFolder"); }
    virtual void RenameFolder(const vx::Str&, const vx::Str&) { NotOffered("RenameFolder"); }
    virtual void DeleteFolder(const vx::Str&) { NotOffered("DeleteFolder"); }

private:
    [[noreturn]] static void NotOffered(const char* operation) {
        throw vx::Exception(vx::Str("WebmailAccount::") + operation +
                            " - Not offered by this web mail client");
    }
};

// Whether a refusal says the service has no such operation at all (WebDAV
// answers 405 Method Not Allowed or 501 Not Implemented) or forbids it (403).
inline bool OperationRefused(const ServiceRefusal& refusal) {
    return refusal.Status() == 405 || refusal.Status() == 501 || refusal.Status() == 403;
}

// A URL in the folder at folderUrl that no message has yet: the place a new
// message is PUT. The name is the gateway's own choice, so a message on its
// way can be known by it.
vx::Str NewMessageUrl(const vx::Str& folderUrl);

// Makes the web mail client of one new session.
using AccountFactory = std::function<std::unique_ptr<WebmailAccount>()>;
