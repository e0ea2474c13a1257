#pragma once
// The answers of the HTTPMail exchanges, for a request that is authenticated
// and routed already.
#include <string>

#include "tools/httpmail/http_request.h"
#include "tools/httpmail/http_response.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/request_target.h"
#include "tools/httpmail/route.h"
#include "tools/httpmail/sent_store.h"

namespace httpmail {

struct Call {
    const HttpRequest& request;
    const RequestTarget& target;
    const Route& route;
    std::string account;  // the authenticated account
    std::string base;     // "http://host[:port]" for the URLs of the answer
};

class MailExchanges {
public:
    MailExchanges(Mailbox& mailbox, SentStore& sent, bool copyToSent, bool headerProperties);

    HttpResponse Login(const Call& call) const;
    HttpResponse Folders(const Call& call) const;
    HttpResponse List(const Call& call) const;
    HttpResponse Get(const Call& call) const;
    HttpResponse Move(const Call& call) const;
    HttpResponse Copy(const Call& call) const;
    HttpResponse Delete(const Call& call) const;
    HttpResponse Proppatch(const Call& call) const;
    HttpResponse Post(const Call& call) const;
    HttpResponse Put(const Call& call) const;
    // PUT below something that is no folder.
    HttpResponse PutNowhere(const Call& call) const;
    // User folders (folder_exchanges.cpp).
    HttpResponse MakeFolder(const Call& call) const;
    HttpResponse NoFolderHere(const Call& call) const;  // MKCOL of anything else
    HttpResponse KeepRoot(const Call& call) const;      // DELETE or MOVE of the root
    HttpResponse DeleteFolder(const Call& call) const;
    HttpResponse MoveFolder(const Call& call) const;

private:
    // MOVE and COPY: the same Destination rules, the same answers.
    HttpResponse Transfer(const Call& call, bool keep) const;

    Mailbox& mailbox;
    SentStore& sent;
    bool copyToSent;
    bool headerProperties;
};

}  // namespace httpmail
