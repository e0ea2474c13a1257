#include "tools/httpmail/mail_exchanges.h"

#include "tools/httpmail/crypto.h"
#include "tools/httpmail/multistatus.h"
#include "tools/httpmail/submission_parser.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
enum class Depth { Zero, One, OneNoRoot };

// WebDAV's Depth, with the "noroot" extension that leaves out the collection itself.
Depth ReadDepth(const HttpRequest& request) {
    const std::string* depth = request.Header("Depth");
    if (depth && Trim(*depth) == "0") return Depth::Zero;
    if (depth && ToLower(*depth).find("noroot") != std::string::npos) return Depth::OneNoRoot;
    return Depth::One;
}

HttpResponse MultistatusAnswer(const Multistatus& body) {
    HttpResponse response(207);
    response.SetBody(body.Text(), "text/xml; charset=\"utf-8\"");
    return response;
}

Properties CollectionProperties(const std::string& name, const std::string& special, size_t count,
                                size_t unread) {
    return {{"D:isfolder", "1"},
            {"D:displayname", name},
            {"hm:special", special},
            {"D:hassubs", "0"},
            {"D:nosubs", "1"},
            {"hm:unreadcount", std::to_string(unread)},
            {"D:visiblecount", std::to_string(count)}};
}

std::string FolderName(const std::vector<FolderInfo>& folders, const std::string& path,
                       FolderInfo& found) {
    for (const FolderInfo& info : folders)
        if (info.path == path) {
            found = info;
            return info.displayName;
        }
    return {};
}
}  // namespace

MailExchanges::MailExchanges(Mailbox& box, SentStore& store, bool copy)
    : mailbox(box), sent(store), copyToSent(copy) {}

HttpResponse MailExchanges::Login(const Call& call) const {
    const std::string root = call.base + AccountPath(call.account);
    Multistatus body;
    body.Add(call.base + call.target.path, {{"hm:inbox", root + "inbox/"},
                                            {"hm:sendmsg", root + "sendmsg"},
                                            {"hm:deleteditems", root + "deleted/"},
                                            {"hm:msgfolderroot", root}});
    HttpResponse response = MultistatusAnswer(body);
    response.AddHeader("Set-Cookie", "MSPAuth=" + RandomHex(16) + "; path=/");
    return response;
}

HttpResponse MailExchanges::Folders(const Call& call) const {
    const std::string root = call.base + AccountPath(call.account);
    const Depth depth = ReadDepth(call.request);
    Multistatus body;
    if (depth != Depth::OneNoRoot) body.Add(root, CollectionProperties("", "", 0, 0));
    if (depth != Depth::Zero)
        for (const FolderInfo& f : mailbox.Folders(call.account))
            body.Add(root + f.path,
                     CollectionProperties(f.displayName, f.special, f.count, f.unread));
    return MultistatusAnswer(body);
}

HttpResponse MailExchanges::List(const Call& call) const {
    const std::string path = mailbox.FolderPath(call.account, call.route.folder);
    const std::string url = call.base + AccountPath(call.account) + path;
    std::vector<MessageInfo> messages;
    if (!mailbox.List(call.account, call.route.folder, messages)) return HttpResponse::Page(404);
    const Depth depth = ReadDepth(call.request);
    Multistatus body;
    if (depth != Depth::OneNoRoot) {
        FolderInfo info;
        const std::string name = FolderName(mailbox.Folders(call.account), path, info);
        body.Add(url, CollectionProperties(name, info.special, info.count, info.unread));
    }
    if (depth != Depth::Zero)
        for (const MessageInfo& m : messages)
            body.Add(url + EncodePathSegment(m.id), {{"D:isfolder", "0"},
                                                     {"D:getcontentlength", std::to_string(m.size)},
                                                     {"hm:read", m.read ? "1" : "0"}});
    return MultistatusAnswer(body);
}

HttpResponse MailExchanges::Get(const Call& call) const {
    auto source = mailbox.Get(call.account, call.route.folder, call.route.messageId);
    if (!source) return HttpResponse::Page(404, "There is no such message.");
    HttpResponse response(200);
    response.body = std::move(source);
    response.AddHeader("Content-Type", "message/rfc822");
    return response;
}

HttpResponse MailExchanges::Move(const Call& call) const {
    const std::string* destination = call.request.Header("Destination");
    RequestTarget target;
    if (!destination || !ParseRequestTarget(*destination, target))
        return HttpResponse::Page(400, "MOVE needs a Destination URL.");
    Route to = ResolveRoute(target, mailbox);
    if (to.account != call.account) return HttpResponse::Page(403, "Moves stay in one account.");
    if (to.place == Place::Folder) to.messageId = call.route.messageId;
    if (to.place != Place::Folder && to.place != Place::Message)
        return HttpResponse::Page(409, "The destination folder does not exist.");
    const std::string* rename = call.request.Header("Allow-rename");
    std::string finalId;
    switch (mailbox.Move(call.account, call.route.folder, call.route.messageId, to.folder,
                         to.messageId, rename && IEquals(*rename, "t"), finalId)) {
        case MoveOutcome::NoMessage:
            return HttpResponse::Page(404, "There is no such message.");
        case MoveOutcome::NoFolder:
            return HttpResponse::Page(409, "No such folder.");
        case MoveOutcome::Exists:
            return HttpResponse::Page(412, "The destination exists.");
        case MoveOutcome::Moved:
            break;
    }
    const std::string moved = call.base + AccountPath(call.account) +
                              mailbox.FolderPath(call.account, to.folder) +
                              EncodePathSegment(finalId);
    // A short body, so that an answer cut off in its body can be tried on moves too.
    HttpResponse response = HttpResponse::Page(201, "Moved to " + moved);
    response.AddHeader("Location", moved);
    return response;
}

HttpResponse MailExchanges::Post(const Call& call) const {
    const std::string* type = call.request.Header("Content-Type");
    if (!type || !IStartsWith(Trim(*type), "message/rfc821"))
        return HttpResponse::Page(415, "Mail is submitted as message/rfc821.");
    Submission submission;
    std::string error;
    if (!ParseSubmission(call.request.body, submission, error))
        return HttpResponse::Page(400, "The submission is not usable: " + error + ".");
    submission.account = call.account;
    if (!sent.Add(submission)) return HttpResponse::Page(500, "The message could not be stored.");
    if (copyToSent) mailbox.Append(call.account, "sentitems", ToCrLf(submission.text));
    HttpResponse response(200);
    response.SetBody("Message accepted for delivery.\r\n", "text/plain");
    return response;
}

}  // namespace httpmail
