#include "tools/httpmail/mail_exchanges.h"

#include "tools/httpmail/crypto.h"
#include "tools/httpmail/dav_body.h"
#include "tools/httpmail/header_fields.h"
#include "tools/httpmail/iso_time.h"
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

// The urn:schemas:mailheader: properties a listing carries: the header
// fields as the message has them, folding removed; a field it lacks is left out.
const char* const kMailHeaderProperties[] = {"subject", "from", "to", "date"};

bool Names(const std::vector<std::string>& wanted, const char* name) {
    for (const std::string& w : wanted)
        if (IEquals(w, name)) return true;
    return false;
}

void AddMailHeaderProperties(Properties& properties, const std::string& source,
                             const std::vector<std::string>& wanted, bool all) {
    for (const char* name : kMailHeaderProperties) {
        if (!all && !Names(wanted, name)) continue;
        if (std::optional<std::string> value = HeaderField(source, name))
            properties.emplace_back(std::string("m:") + name, *value);
    }
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

MailExchanges::MailExchanges(Mailbox& box, SentStore& store, bool copy, bool headers)
    : mailbox(box), sent(store), copyToSent(copy), headerProperties(headers) {}

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
    const bool all = AsksForAllProperties(call.request.body);
    const std::vector<std::string> wanted =
        NamedProperties(call.request.body, kMailHeaderNamespace);
    const bool dates = all || Names(NamedProperties(call.request.body, kHttpMailNamespace), "date");
    if (depth != Depth::Zero)
        for (const MessageInfo& m : messages) {
            Properties properties = {{"D:isfolder", "0"},
                                     {"D:getcontentlength", std::to_string(m.size)},
                                     {"hm:read", m.read ? "1" : "0"}};
            if (dates) properties.emplace_back("hm:date", IsoUtc(m.received));
            if (headerProperties) AddMailHeaderProperties(properties, *m.source, wanted, all);
            body.Add(url + EncodePathSegment(m.id), properties);
        }
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
    return Transfer(call, false);
}

HttpResponse MailExchanges::Copy(const Call& call) const {
    return Transfer(call, true);
}

HttpResponse MailExchanges::Transfer(const Call& call, bool keep) const {
    const std::string* destination = call.request.Header("Destination");
    RequestTarget target;
    if (!destination || !ParseRequestTarget(*destination, target))
        return HttpResponse::Page(400, call.request.method + " needs a Destination URL.");
    Route to = ResolveRoute(target, mailbox);
    if (to.account != call.account)
        return HttpResponse::Page(
            403, keep ? "Copies stay in one account." : "Moves stay in one account.");
    if (to.place == Place::Folder) to.messageId = call.route.messageId;
    if (to.place != Place::Folder && to.place != Place::Message)
        return HttpResponse::Page(409, "The destination folder does not exist.");
    const std::string* rename = call.request.Header("Allow-rename");
    std::string finalId;
    const bool mayRename = rename && IEquals(*rename, "t");
    const MoveOutcome outcome =
        keep ? mailbox.Copy(call.account, call.route.folder, call.route.messageId, to.folder,
                            to.messageId, mayRename, finalId)
             : mailbox.Move(call.account, call.route.folder, call.route.messageId, to.folder,
                            to.messageId, mayRename, finalId);
    switch (outcome) {
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
    HttpResponse response = HttpResponse::Page(201, (keep ? "Copied to " : "Moved to ") + moved);
    response.AddHeader("Location", moved);
    return response;
}

HttpResponse MailExchanges::Delete(const Call& call) const {
    if (!mailbox.Delete(call.account, call.route.folder, call.route.messageId))
        return HttpResponse::Page(404, "There is no such message.");
    return HttpResponse(204);
}

HttpResponse MailExchanges::Proppatch(const Call& call) const {
    bool read = false;
    if (!ReadUpdate(call.request.body, read))
        return HttpResponse::Page(400, "PROPPATCH here sets hm:read to 0 or 1.");
    if (!mailbox.SetRead(call.account, call.route.folder, call.route.messageId, read))
        return HttpResponse::Page(404, "There is no such message.");
    Multistatus body;
    body.Add(call.base + call.target.path, {{"hm:read", ""}});
    return MultistatusAnswer(body);
}

HttpResponse MailExchanges::Put(const Call& call) const {
    const std::string& id = call.route.messageId;
    switch (mailbox.Put(call.account, call.route.folder, id, ToCrLf(call.request.body), NowUtc())) {
        case PutOutcome::NoFolder:
            return PutNowhere(call);
        case PutOutcome::Exists:
            return HttpResponse::Page(412, "A message of this account has that name already.");
        case PutOutcome::NotWritten:
            return HttpResponse::Page(500, "The message could not be written.");
        case PutOutcome::Stored:
            break;
    }
    const std::string stored = call.base + AccountPath(call.account) +
                               mailbox.FolderPath(call.account, call.route.folder) +
                               EncodePathSegment(id);
    HttpResponse response = HttpResponse::Page(201, "Stored as " + stored);
    response.AddHeader("Location", stored);
    return response;
}

HttpResponse MailExchanges::PutNowhere(const Call&) const {
    return HttpResponse::Page(409, "There is no such folder.");
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
    if (copyToSent) mailbox.Append(call.account, "sentitems", ToCrLf(submission.text), NowUtc());
    HttpResponse response(200);
    response.SetBody("Message accepted for delivery.\r\n", "text/plain");
    return response;
}

}  // namespace httpmail
