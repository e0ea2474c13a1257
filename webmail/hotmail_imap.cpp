// Hotmail: what the IMAP service needs beyond POP3 and SMTP. Every folder
// with its special use, a folder's listing with the read state and the
// header properties the service keeps (urn:schemas:mailheader:), PROPPATCH
// of the read state, and MOVE, COPY and DELETE of single messages (RFC 4918).
#include "text/str_util.h"
#include "text/xml.h"
#include "webmail/answer_check.h"
#include "webmail/hotmail.h"
#include "webmail/listing_reader.h"
#include "webmail/request_bodies.h"

namespace {

const char kDepth[] = "1,noroot";

const char kImapListQuery[] =
    "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\" xmlns:hm=\"urn:schemas:httpmail:\" "
    "xmlns:m=\"urn:schemas:mailheader:\"><D:prop><D:isfolder/><D:getcontentlength/><hm:read/>"
    "<hm:date/><m:subject/><m:from/><m:to/><m:date/></D:prop></D:propfind>";

const char kMarkRead[] =
    "<?xml version=\"1.0\"?><D:propertyupdate xmlns:D=\"DAV:\" "
    "xmlns:hm=\"urn:schemas:httpmail:\"><D:set><D:prop><hm:read>1</hm:read></D:prop></D:set>"
    "</D:propertyupdate>";
const char kMarkUnread[] =
    "<?xml version=\"1.0\"?><D:propertyupdate xmlns:D=\"DAV:\" "
    "xmlns:hm=\"urn:schemas:httpmail:\"><D:set><D:prop><hm:read>0</hm:read></D:prop></D:set>"
    "</D:propertyupdate>";

vx::Str ValueOf(const vx::Xml& response, const char* name) {
    return response.FindFirst(name).GetValue();
}

// A 207 answer whose every property status is 2xx (or that has none).
bool AllPropertiesSet(const vx::Str& body) {
    const vx::Str marker = "HTTP/1.1 ";
    for (size_t at = body.find(marker); at != vx::Str::npos; at = body.find(marker, at + 1)) {
        if (at + marker.size() >= body.size() || body[at + marker.size()] != '2') return false;
    }
    return true;
}

}  // namespace

void Hotmail::RequireSuccess(const char* place, const vx::Str& url) const {
    if (lastStatus >= 200 && lastStatus <= 299) return;
    throw ServiceRefusal(vx::Str(place) + " - The service refused - " +
                             vx::StrUtil::IntToStr(lastStatus) + " - " + url,
                         lastStatus);
}

void Hotmail::ListFolders(std::vector<WebmailFolder>& folders) {
    Logged("Hotmail::ListFolders").Run([&] {
        folders.clear();
        MakeRequest(folderRootUrl, "PROPFIND", kDepth, "", {request_bodies::FolderQuery()}, true);
        RequireSuccess("Hotmail::ListFolders::Status", folderRootUrl);
        std::vector<vx::Xml> responses;
        vx::Xml(lastBody).FindAll("D:response", responses);
        bool inbox = false, trash = false;
        for (const vx::Xml& response : responses) {
            if (ValueOf(response, "D:isfolder") != "1") continue;
            WebmailFolder folder{ValueOf(response, "D:href"), ValueOf(response, "hm:special"),
                                 ValueOf(response, "D:displayname")};
            if (folder.url.empty()) continue;
            inbox |= folder.special == "inbox";
            trash |= folder.special == "deleteditems";
            folders.push_back(std::move(folder));
        }
        // The login named both; a folder root that leaves one out still has it.
        if (!inbox) folders.push_back({folderUrls["inbox"], "inbox", ""});
        if (!trash) folders.push_back({trashUrl, "deleteditems", ""});
    });
}

void Hotmail::ListFolder(const vx::Str& folderUrl, std::vector<ListedMessage>& messages) {
    Logged("Hotmail::ListFolder").Run([&] {
        messages.clear();
        static const vx::Str query = kImapListQuery;
        MakeRequest(folderUrl, "PROPFIND", kDepth, "", {query}, true);
        RequireSuccess("Hotmail::ListFolder::Status", folderUrl);
        ListingReader::Read(lastBody, messages);
    });
}

void Hotmail::SetReadState(const vx::Str& url, bool read) {
    Logged("Hotmail::SetReadState").Run([&] {
        static const vx::Str markRead = kMarkRead, markUnread = kMarkUnread;
        MakeRequest(url, "PROPPATCH", "", "", {read ? markRead : markUnread}, true);
        RequireSuccess("Hotmail::SetReadState::Status", url);
        if (lastStatus == 207 && !AllPropertiesSet(lastBody))
            throw ServiceRefusal(
                "Hotmail::SetReadState::Property - The service did not set the read state - " + url,
                lastStatus);
    });
}

vx::Str Hotmail::Transfer(const char* method, const char* tag, const vx::Str& url,
                          const vx::Str& folderUrl) {
    return Logged(tag).Run([&] {
        vx::Str destination = folderUrl;
        if (destination.empty() || destination.back() != '/') destination += '/';
        destination += GetLastPathSegment(url);
        MakeRequest(url, method, "", destination, {}, true);
        if (lastStatus != 201)
            throw ServiceRefusal(vx::Str(tag) + "::Status - The service answered " +
                                     vx::StrUtil::IntToStr(lastStatus) + " - " + url,
                                 lastStatus);
        // With Allow-rename the service may have chosen another name.
        std::string_view location;
        if (FindHeader(lastHeaders, "location", location) && !location.empty())
            return vx::Str(location);
        return destination;
    });
}

vx::Str Hotmail::MoveMessage(const vx::Str& url, const vx::Str& folderUrl) {
    return Transfer("MOVE", "Hotmail::MoveMessage", url, folderUrl);
}

vx::Str Hotmail::CopyMessage(const vx::Str& url, const vx::Str& folderUrl) {
    return Transfer("COPY", "Hotmail::CopyMessage", url, folderUrl);
}

void Hotmail::DeleteMessage(const vx::Str& url) {
    Logged("Hotmail::DeleteMessage").Run([&] {
        MakeRequest(url, "DELETE", "", "", {}, true);
        RequireSuccess("Hotmail::DeleteMessage::Status", url);
    });
}
