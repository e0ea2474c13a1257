#include "webmail/request_bodies.h"

#include <initializer_list>

#include "webmail/endpoints.h"
#include "webmail/hotmail.h"

namespace request_bodies {
namespace {

const char kDeclaration[] = "<?xml version=\"1.0\"?>";
const char kDav[] = "xmlns:D=\"DAV:\"";
const char kHttpMail[] = "xmlns:hm=\"urn:schemas:httpmail:\"";

// A D:propfind asking for the empty elements props, with the namespace
// declarations given.
vx::Str Propfind(const char* declaration, std::initializer_list<vx::Str> namespaces,
                 std::initializer_list<const char*> props) {
    vx::Str body = vx::Str(declaration) + "<D:propfind";
    for (const vx::Str& name : namespaces) body += " " + name;
    body += "><D:prop>";
    for (const char* prop : props) body += vx::Str("<") + prop + "/>";
    return body + "</D:prop></D:propfind>";
}

}  // namespace

const vx::Str& Login() {
    static const vx::Str body = Propfind(
        "", {kDav, vx::Str("xmlns:h=\"") + webmail_endpoints::kHotmailSchemaUri + "\"", kHttpMail},
        {"hm:inbox", "hm:sendmsg", "hm:deleteditems", "hm:msgfolderroot"});
    return body;
}

const vx::Str& FolderQuery() {
    static const vx::Str body = Propfind(kDeclaration, {kDav, kHttpMail},
                                         {"D:isfolder", "D:displayname", "D:hassubs", "D:nosubs",
                                          "hm:unreadcount", "D:visiblecount", "hm:special"});
    return body;
}

const vx::Str& ListQuery() {
    static const vx::Str body =
        Propfind(kDeclaration, {kDav, kHttpMail, "xmlns:m=\"urn:schemas:mailheader:\""},
                 {"D:isfolder", "D:getcontentlength"});
    return body;
}

vx::Str SubmissionEnvelope(const vx::Str& sender, const std::vector<vx::Str>& recipients) {
    vx::Str envelope = "MAIL FROM:<" + Hotmail::ExtractAddress(sender) + ">\r\n";
    for (const vx::Str& recipient : recipients)
        envelope += "RCPT TO:<" + Hotmail::ExtractAddress(recipient) + ">\r\n";
    return envelope + "\r\n";
}

}  // namespace request_bodies
