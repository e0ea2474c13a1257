// Hotmail: discovery of the folders beyond the inbox, and the message list.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "settings/config.h"
#include "text/str_util.h"
#include "text/xml.h"
#include "webmail/hotmail.h"
#include "webmail/request_bodies.h"

namespace {

const char kFolderDepth[] = "1,noroot";

// Folders the service marks by hm:special. Those without a key are never
// listed on their own: the inbox is listed already, deleted items and the
// service's promotions are not offered.
const struct {
    const char* special;
    const char* key;
    bool (Config::*wanted)() const;
} kSpecialFolders[] = {
    {"inbox", nullptr, nullptr},
    {"deleteditems", nullptr, nullptr},
    {"msnpromo", nullptr, nullptr},
    {"bulkmail", "bulk", &Config::CheckBulkFolder},
    {"sentitems", "sent", &Config::CheckSentFolder},
};

vx::Str ValueOf(const vx::Xml& response, const char* name) {
    return response.FindFirst(name).GetValue();
}

// A display name as a folder key: fit for the folder header line of a
// retrieved message, so encoded words for non-ASCII text and no line breaks.
vx::Str FolderKey(const vx::Str& displayName) {
    vx::Str key = vx::StrUtil::EncodeHeaderText(displayName);
    std::replace(key.begin(), key.end(), '\r', ' ');
    std::replace(key.begin(), key.end(), '\n', ' ');
    return key;
}

// A decimal size as the C library reads it; out-of-range values are clamped.
int32_t ReadSize(const vx::Str& text) {
    long size = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(size, INT32_MIN, INT32_MAX));
}

}  // namespace

void Hotmail::GetOtherFolderUrls() {
    Logged("Hotmail::GetOtherFolderUrls").Run([&] {
        MakeRequest(folderRootUrl, "PROPFIND", kFolderDepth, "", {request_bodies::FolderQuery()},
                    true);
        CheckListingStatus("Hotmail::GetOtherFolderUrls::Status - Error listing folders - ",
                           folderRootUrl);
        std::vector<vx::Xml> responses;
        vx::Xml(lastBody).FindAll("D:response", responses);
        for (const vx::Xml& response : responses) AddOtherFolder(response);
    });
}

void Hotmail::AddOtherFolder(const vx::Xml& response) {
    if (ValueOf(response, "D:isfolder") != "1") return;
    vx::Str special = ValueOf(response, "hm:special");
    for (const auto& folder : kSpecialFolders) {
        if (special != folder.special) continue;
        if (folder.key != nullptr && (Config::Instance().*folder.wanted)())
            folderUrls[folder.key] = ValueOf(response, "D:href");
        return;
    }
    vx::Str name = ValueOf(response, "D:displayname");
    if (!name.empty()) folderUrls[FolderKey(name)] = ValueOf(response, "D:href");
}

void Hotmail::GetMessageList(MessageList& list) {
    list.clear();
    for (const auto& [key, url] : folderUrls) AppendList(list, key, url);
}

void Hotmail::AppendList(MessageList& list, const vx::Str& key, const vx::Str& url) {
    Logged("Hotmail::AppendList").Run([&] {
        MakeRequest(url, "PROPFIND", kFolderDepth, "", {request_bodies::ListQuery()}, true);
        CheckListingStatus("Hotmail::AppendList::Status - Error listing messages - ", url);
        std::vector<vx::Xml> responses;
        vx::Xml(lastBody).FindAll("D:response", responses);
        for (const vx::Xml& response : responses) {
            list.push_back({ValueOf(response, "D:href"),
                            ReadSize(ValueOf(response, "D:getcontentlength")), false, key});
        }
    });
}

void Hotmail::CheckListingStatus(const char* place, const vx::Str& url) const {
    // An error page parses as a listing without entries: the mail client
    // would be told there is no mail.
    if (lastStatus < 200 || lastStatus > 299)
        throw vx::Exception(place + vx::StrUtil::IntToStr(lastStatus) + " - " + url);
}
