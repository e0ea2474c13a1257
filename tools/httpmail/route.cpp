#include "tools/httpmail/route.h"

#include "tools/httpmail/text_util.h"
#include "webmail/endpoints.h"

namespace httpmail {

namespace {
const char kMailSegment[] = "mail";
const char kSendSegment[] = "sendmsg";

bool PathIs(const RequestTarget& target, const char* path) {
    RequestTarget endpoint;
    ParseRequestTarget(path, endpoint);
    return target.segments == endpoint.segments && !target.trailingSlash;
}

void ResolveInsideAccount(const RequestTarget& target, const Mailbox& mailbox, Route& route) {
    const std::vector<std::string> rest(target.segments.begin() + 2, target.segments.end());
    route.place = Place::AccountOther;
    if (rest.empty()) {
        route.place = Place::FolderRoot;
    } else if (rest.size() == 1 && rest[0] == kSendSegment) {
        route.place = Place::SendMsg;
    } else if (!mailbox.FolderPath(route.account, rest).empty()) {
        // With or without its final slash, a folder's URL names the folder.
        route.place = Place::Folder;
        route.folder = rest;
    } else if (rest.size() == 2 && rest[0] == kUserFoldersSegment) {
        route.place = Place::NewUserFolder;
        route.folder = rest;
    } else if (rest.size() == 1 && rest[0] != kUserFoldersSegment) {
        // A client that knows only the folder root asks for a new folder
        // right below it: it becomes the user folder of that name.
        route.place = Place::NewUserFolder;
        route.folder = {kUserFoldersSegment, rest[0]};
    } else {
        std::vector<std::string> parent(rest.begin(), rest.end() - 1);
        if (!mailbox.FolderPath(route.account, parent).empty()) {
            route.place = Place::Message;
            route.folder = parent;
            route.messageId = rest.back();
        }
    }
}
}  // namespace

bool PlaceIsMissing(Place place) {
    return place == Place::NewUserFolder || place == Place::AccountOther;
}

std::string AccountPath(const std::string& account) {
    return std::string("/") + kMailSegment + "/" + EncodePathSegment(account) + "/";
}

Route ResolveRoute(const RequestTarget& target, const Mailbox& mailbox) {
    Route route;
    const auto& s = target.segments;
    if (!s.empty() && s[0] == "_admin") {
        route.place = Place::Admin;
    } else if (PathIs(target, webmail_endpoints::kGatewayPath)) {
        route.place = Place::GatewayLogin;
    } else if (PathIs(target, webmail_endpoints::kMsnDataPath)) {
        route.place = Place::MsnLogin;
    } else if (s.size() >= 2 && s[0] == kMailSegment) {
        route.account = ToLower(s[1]);
        ResolveInsideAccount(target, mailbox, route);
    }
    return route;
}

}  // namespace httpmail
