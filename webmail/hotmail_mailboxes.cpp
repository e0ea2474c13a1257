// Hotmail: what changes the account's folders for IMAP, in plain WebDAV
// (RFC 4918): PUT of a new message into a folder (APPEND, and COPY where the
// service has no COPY), MKCOL, MOVE and DELETE of the user's folders (CREATE,
// RENAME, DELETE). HTTPMail names no URL scheme for new folders: they are
// asked for under the folder root, by display name, and found afterwards in
// the folder listing.
#include "text/str_util.h"
#include "webmail/answer_check.h"
#include "webmail/hotmail.h"

namespace {

// Only the status codes RFC 4918 gives for a whole success count: a 207 of
// a collection's MOVE or DELETE reports members that failed.
const int32_t kPutDone[] = {200, 201, 204};
const int32_t kFolderDone[] = {200, 201, 204};

bool Among(int32_t status, const int32_t (&codes)[3]) {
    for (int32_t code : codes)
        if (status == code) return true;
    return false;
}

bool Unreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// A header that goes with one request only.
class RequestHeader {
public:
    RequestHeader(vxw::Http& http, const char* name, const char* value, const char* after = nullptr)
        : http(http), name(name), after(after) {
        http.SetHeader(name, value);
    }
    ~RequestHeader() {
        if (after != nullptr)
            http.SetHeader(name, after);
        else
            http.RemoveHeader(name);
    }
    RequestHeader(const RequestHeader&) = delete;
    RequestHeader& operator=(const RequestHeader&) = delete;

private:
    vxw::Http& http;
    const char* name;
    const char* after;
};

}  // namespace

vx::Str Hotmail::EncodePathSegment(const vx::Str& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    vx::Str out;
    for (char c : text) {
        if (Unreserved(c)) {
            out += c;
            continue;
        }
        unsigned char byte = static_cast<unsigned char>(c);
        out += '%';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

vx::Str Hotmail::ResolveLocation(const vx::Str& requestUrl, std::string_view location) {
    if (location.empty()) return requestUrl;
    if (location.find("://") != std::string_view::npos) return vx::Str(location);
    if (location[0] != '/') return requestUrl;
    size_t host = requestUrl.find("//");
    size_t path = host == vx::Str::npos ? vx::Str::npos : requestUrl.find('/', host + 2);
    return requestUrl.substr(0, path) + vx::Str(location);
}

vx::Str Hotmail::FolderUrlFor(const vx::Str& name) const {
    vx::Str url = folderRootUrl;
    if (url.empty() || url.back() != '/') url += '/';
    // One path segment: a "/" of the name's hierarchy is escaped too.
    return url + EncodePathSegment(name) + "/";
}

void Hotmail::RequireStatus(const char* place, const vx::Str& url, bool done) const {
    if (done) return;
    throw ServiceRefusal(vx::Str(place) + " - The service answered " +
                             vx::StrUtil::IntToStr(lastStatus) + " - " + url,
                         lastStatus);
}

vx::Str Hotmail::PutMessage(const vx::Str& url, vxw::BodySource& text) {
    return Logged("Hotmail::PutMessage").Run([&] {
        RequestHeader type(http, "Content-type", "message/rfc822", "text/xml");
        // The name is fresh; should it be taken after all, nothing is replaced.
        RequestHeader fresh(http, "If-None-Match", "*");
        MakeRequest(url, "PUT", "", "", text, true);
        RequireStatus("Hotmail::PutMessage::Status", url, Among(lastStatus, kPutDone));
        std::string_view location;
        if (!FindHeader(lastHeaders, "location", location)) location = {};
        return ResolveLocation(url, location);
    });
}

void Hotmail::MakeFolder(const vx::Str& name) {
    Logged("Hotmail::MakeFolder").Run([&] {
        const vx::Str url = FolderUrlFor(name);
        MakeRequest(url, "MKCOL", "", "", {}, true);
        RequireStatus("Hotmail::MakeFolder::Status", url, Among(lastStatus, kFolderDone));
    });
}

void Hotmail::RenameFolder(const vx::Str& folderUrl, const vx::Str& newName) {
    Logged("Hotmail::RenameFolder").Run([&] {
        // Overwrite defaults to T: a folder of the new name would be
        // replaced, its messages lost, instead of the move being refused.
        RequestHeader keep(http, "Overwrite", "F");
        MakeRequest(folderUrl, "MOVE", "", FolderUrlFor(newName), {}, true);
        RequireStatus("Hotmail::RenameFolder::Status", folderUrl, Among(lastStatus, kFolderDone));
    });
}

void Hotmail::DeleteFolder(const vx::Str& folderUrl) {
    Logged("Hotmail::DeleteFolder").Run([&] {
        MakeRequest(folderUrl, "DELETE", "", "", {}, true);
        RequireStatus("Hotmail::DeleteFolder::Status", folderUrl, Among(lastStatus, kFolderDone));
    });
}
