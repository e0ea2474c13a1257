// MKCOL, DELETE and MOVE of user folders (RFC 4918): how a mail client's
// CREATE, DELETE and RENAME of mailboxes reach the service. Names are flat:
// a user folder lives at folders/NAME/ and holds no folders; a "/" in NAME
// (sent as %2F) is the hierarchy an IMAP client sees. A new folder, or a
// folder's new place, may also be named right below the account's root.
#include <algorithm>
#include <iterator>

#include "tools/httpmail/mail_exchanges.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
struct FolderAnswer {
    FolderOutcome outcome;
    int status;
    const char* detail;
};
const FolderAnswer kFolderAnswers[] = {
    {FolderOutcome::Missing, 404, "There is no such folder."},
    {FolderOutcome::Special, 403, "Special folders cannot be moved or deleted."},
    {FolderOutcome::Exists, 412, "The destination folder exists."},
    {FolderOutcome::BadName, 403,
     "A folder name is not empty, does not start with '.', holds no '\\\\' or control "
     "characters, and no '/' at either end or twice in a row."},
    {FolderOutcome::NotWritten, 500, "The mail folder could not be changed on disk."},
};

HttpResponse Refusal(FolderOutcome outcome) {
    const auto it = std::find_if(std::begin(kFolderAnswers), std::end(kFolderAnswers),
                                 [&](const FolderAnswer& a) { return a.outcome == outcome; });
    return HttpResponse::Page(it->status, it->detail);
}

HttpResponse Created(const std::string& url, const char* what) {
    HttpResponse response = HttpResponse::Page(201, what + url);
    response.AddHeader("Location", url);
    return response;
}
}  // namespace

HttpResponse MailExchanges::MakeFolder(const Call& call) const {
    if (!Trim(call.request.body).empty())
        return HttpResponse::Page(415, "MKCOL here takes no body.");
    const FolderOutcome outcome = mailbox.MakeFolder(call.account, call.route.folder[1]);
    // Made by another request since this one was routed: as if it had been there.
    if (outcome == FolderOutcome::Exists) return HttpResponse::Page(405, "The folder exists.");
    if (outcome != FolderOutcome::Done) return Refusal(outcome);
    return Created(
        call.base + AccountPath(call.account) + mailbox.FolderPath(call.account, call.route.folder),
        "Made ");
}

HttpResponse MailExchanges::NoFolderHere(const Call&) const {
    return HttpResponse::Page(403,
                              "Folders are made at folders/NAME/ or NAME/ of the account only.");
}

HttpResponse MailExchanges::KeepRoot(const Call&) const {
    return HttpResponse::Page(403, "The folder root stays.");
}

HttpResponse MailExchanges::DeleteFolder(const Call& call) const {
    const FolderOutcome outcome = mailbox.DeleteFolder(call.account, call.route.folder);
    return outcome == FolderOutcome::Done ? HttpResponse(204) : Refusal(outcome);
}

HttpResponse MailExchanges::MoveFolder(const Call& call) const {
    if (!IsUserFolderPlace(call.route.folder)) return Refusal(FolderOutcome::Special);
    const std::string* destination = call.request.Header("Destination");
    RequestTarget target;
    if (!destination || !ParseRequestTarget(*destination, target))
        return HttpResponse::Page(400, "MOVE needs a Destination URL.");
    const Route to = ResolveRoute(target, mailbox);
    if (to.account != call.account) return HttpResponse::Page(403, "Folders stay in one account.");
    if (to.place == Place::Folder && to.folder == call.route.folder)
        return HttpResponse::Page(403, "A folder cannot move onto itself.");
    // Overwrite: T is refused as well: folders are never merged or replaced.
    if (to.place == Place::Folder) return Refusal(FolderOutcome::Exists);
    if (to.place != Place::NewUserFolder)
        return HttpResponse::Page(403,
                                  "Folders move to folders/NAME/ or NAME/ of the account only.");
    const FolderOutcome outcome =
        mailbox.RenameFolder(call.account, call.route.folder, to.folder[1]);
    if (outcome != FolderOutcome::Done) return Refusal(outcome);
    return Created(
        call.base + AccountPath(call.account) + mailbox.FolderPath(call.account, to.folder),
        "Moved to ");
}

}  // namespace httpmail
