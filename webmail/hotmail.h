#pragma once
// The client of the web mail service for one local session. It speaks
// HTTPMail, the service's WebDAV dialect (RFC 4918 PROPFIND and MOVE, plus GET
// and POST), over one Http object that keeps the connection, the default
// headers, the cookies and the account's credentials for the whole session:
// PROPFIND on the service's endpoint to log in and learn the folder URLs,
// PROPFIND on the folder root and on each folder to list, GET to fetch, MOVE
// into deleted items to delete, POST of a message/rfc821 envelope to send.
// The object belongs to the session thread that made it; it has no locks.
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "core/str.h"
#include "http/http.h"
#include "webmail/account.h"
#include "webmail/failure_log.h"
#include "webmail/message_list.h"

namespace vx {
class Xml;
}
class MessageStream;

class Hotmail : public WebmailAccount {
public:
    // Sets the session's default request headers.
    Hotmail();
    Hotmail(const Hotmail&) = delete;
    Hotmail& operator=(const Hotmail&) = delete;

    // True when the service took the account and named all four folder
    // locations; false when it refused the credentials (its 401 to the
    // answered challenge, its 403 to credentials sent). Every other outcome
    // (no connection, a time-out, another status, an answer without the
    // locations) is raised.
    bool Login(const vx::Str& user, const vx::Str& password) override;
    // The messages of every folder, folders in the byte order of their keys.
    void GetMessageList(MessageList& list) override;
    // The body of a GET of url, into sink; a status outside 200-299 is a failure.
    void GetMessage(const vx::Str& url, MessageSink& sink) override;
    using WebmailAccount::GetMessage;
    // MOVE into the deleted-items folder; anything but 201 is a failure.
    void SendMessageToTrash(const vx::Str& url) override;
    // POST to the submission URL; a status outside 200-299 is a failure.
    void SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                  vxw::BodySource& text) override;
    void Disconnect() override;
    vx::Str AccountName() const override { return username; }

    // The IMAP operations (hotmail_imap.cpp).
    void ListFolders(std::vector<WebmailFolder>& folders) override;
    void ListFolder(const vx::Str& folderUrl, std::vector<ListedMessage>& messages) override;
    void SetReadState(const vx::Str& url, bool read) override;
    vx::Str MoveMessage(const vx::Str& url, const vx::Str& folderUrl) override;
    vx::Str CopyMessage(const vx::Str& url, const vx::Str& folderUrl) override;
    void DeleteMessage(const vx::Str& url) override;
    // The folder operations (hotmail_mailboxes.cpp).
    vx::Str PutMessage(const vx::Str& url, vxw::BodySource& text) override;
    void MakeFolder(const vx::Str& name) override;
    void RenameFolder(const vx::Str& folderUrl, const vx::Str& newName) override;
    void DeleteFolder(const vx::Str& folderUrl) override;

    // URL pieces: the host; the path from the first "/" after the host (with
    // any query; empty when there is none); the port after the host's ":",
    // or -1. The first two throw vx::Exception for a text without "//".
    static vx::Str GetUrlServerAddress(const vx::Str& url);
    static vx::Str GetUrlPath(const vx::Str& url);
    static int32_t GetUrlPort(const vx::Str& url);
    // Whether the URL's scheme asks for TLS ("https:", in any letter case).
    static bool UsesTls(const vx::Str& url);
    // The characters after the last "/", or "" when there is none.
    static vx::Str GetLastPathSegment(const vx::Str& url);
    // The bare address in an SMTP MAIL or RCPT argument.
    static vx::Str ExtractAddress(const vx::Str& argument);
    // Every byte but the unreserved characters of RFC 3986 percent-encoded:
    // a name as one path segment ("/" too).
    static vx::Str EncodePathSegment(const vx::Str& text);
    // A Location header's URL against the URL of the request it answered
    // (absolute, or a path on the same server); the request's URL for none.
    static vx::Str ResolveLocation(const vx::Str& requestUrl, std::string_view location);
    // The quoted target of a meta refresh (HTTP-EQUIV="REFRESH" ... URL="...")
    // in a markup page; false when there is none.
    static bool GetRefreshUrl(const vx::Str& page, vx::Str& target);

    // Refresh pages followed within one request before it counts as failed.
    static constexpr int kMaxRefreshFollowUps = 5;

private:
    // One request with its follow-ups (a single retry after a 503, refresh
    // pages); the last answer is left in lastHeaders, lastBody and lastStatus.
    void MakeRequest(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                     const vx::Str& destination, const vx::StrParts& body, bool retry);
    // The same with the body read from a source. With a stream, the body of a
    // 2xx answer goes there instead of lastBody (unless the stream holds it
    // back as a possible refresh page).
    void MakeRequest(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                     const vx::Str& destination, vxw::BodySource& body, bool retry,
                     MessageStream* stream = nullptr, int refreshesLeft = kMaxRefreshFollowUps);
    void SendOnce(const vx::Str& url, const vx::Str& method, const vx::Str& depth,
                  const vx::Str& destination, vxw::BodySource& body, MessageStream* stream);
    void SetOrRemoveHeader(const char* name, const vx::Str& value);

    bool OpenAccount(const vx::Str& user, const vx::Str& password);
    void ReportLoginFailure(const vx::Exception& failure, bool refused) const;
    void GetOtherFolderUrls();
    void AddOtherFolder(const vx::Xml& response);
    void AppendList(MessageList& list, const vx::Str& key, const vx::Str& url);
    // MOVE or COPY of url into folderUrl; the message's new URL.
    vx::Str Transfer(const char* method, const char* tag, const vx::Str& url,
                     const vx::Str& folderUrl);
    // A status outside 200-299 as a ServiceRefusal naming the operation.
    void RequireSuccess(const char* place, const vx::Str& url) const;
    // A refusal naming the status of the last answer unless done.
    void RequireStatus(const char* place, const vx::Str& url, bool done) const;
    // Where a user folder of that display name is asked for: under the folder root.
    vx::Str FolderUrlFor(const vx::Str& name) const;
    // A listing answered outside 2xx is a failure, not an empty folder.
    void CheckListingStatus(const char* place, const vx::Str& url) const;

    // The failure log of one operation, showing this session's last answer.
    FailureLog Logged(const char* tag) const { return FailureLog(tag, lastHeaders, lastBody); }

    vxw::Http http;
    vx::Str serverUrl;                      // the endpoint chosen at login
    vx::Str folderRootUrl;                  // hm:msgfolderroot
    std::map<vx::Str, vx::Str> folderUrls;  // folder key to URL, in byte order of the keys
    vx::Str sendUrl;                        // hm:sendmsg
    vx::Str trashUrl;                       // hm:deleteditems
    vx::Str lastHeaders;                    // status line and header lines of the last answer
    vx::Str lastBody;
    int32_t lastStatus = 0;
    vx::Str username;  // in lower case
    vx::Str password;
};

// The web mail client of one new session.
std::unique_ptr<WebmailAccount> MakeHotmail();
