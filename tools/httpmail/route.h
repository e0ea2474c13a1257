#pragma once
// What a request path names in the service's URL space.
#include <string>
#include <vector>

#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/request_target.h"

namespace httpmail {

enum class Place {
    Unknown,
    Admin,          // /_admin/...
    GatewayLogin,   // the HTTPMail gateway endpoint
    MsnLogin,       // the data endpoint of MSN accounts
    FolderRoot,     // /mail/ACCOUNT/
    Folder,         // /mail/ACCOUNT/FOLDER.../
    Message,        // /mail/ACCOUNT/FOLDER.../ID
    SendMsg,        // /mail/ACCOUNT/sendmsg
    NewUserFolder,  // /mail/ACCOUNT/folders/NAME/ or /mail/ACCOUNT/NAME/, no folder yet
    AccountOther,   // below /mail/ACCOUNT/ but nothing that exists
};

// Places that name nothing the account holds.
bool PlaceIsMissing(Place place);

struct Route {
    Place place = Place::Unknown;
    std::string account;              // lower case, for the places below /mail/
    std::vector<std::string> folder;  // decoded segments below the account
    std::string messageId;            // may be empty for a Destination that names a folder
};

// The URL path prefix of an account's pages: "/mail/" + the encoded name.
std::string AccountPath(const std::string& account);
// Where the path points; folder places are checked against the mailbox.
Route ResolveRoute(const RequestTarget& target, const Mailbox& mailbox);

}  // namespace httpmail
