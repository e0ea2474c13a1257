#include "core/dir_util.h"

#include "core/exception.h"

namespace vxw {
namespace DirUtil {
namespace {

// Where the first folder that may need creating ends its name: after the share
// of a network path, after "X:\" of a drive path, else after the first character.
size_t FirstCandidate(const vx::Str& path) {
    if (path.size() >= 2 && path[0] == kSeparator && path[1] == kSeparator) {
        size_t server = path.find(kSeparator, 2);
        if (server == vx::Str::npos) return path.size();
        size_t share = path.find(kSeparator, server + 1);
        return share == vx::Str::npos ? path.size() : share + 1;
    }
    if (path.size() >= 2 && path[1] == ':') return 3;
    return 1;
}

}  // namespace

void CreatePath(const vx::Str& path) {
    vx::Str work = path;
    if (!work.empty() && work.back() != kSeparator) work += kSeparator;
    for (size_t at = work.find(kSeparator, FirstCandidate(work)); at != vx::Str::npos;
         at = work.find(kSeparator, at + 1)) {
        vx::Str folder = work.substr(0, at);
        if (folder.empty() || FolderExists(folder)) continue;
        if (!CreateFolder(folder)) {
            throw vx::Exception("VXW_DIRUTIL_CREATEPATH_CREATEFOLDER: Error creating path - " + path +
                                " - " + folder);
        }
    }
}

}  // namespace DirUtil
}  // namespace vxw
