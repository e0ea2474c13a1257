#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/dir_util.h"
#include "core/dir_util_posix.h"
#include "core/exception.h"

namespace vxw {
namespace DirUtil {

const char kSeparator = '/';

vx::Str GetProgramPath(const char* module) {
    if (module != nullptr) {
        // Only the program's own file is ever asked for on this platform.
        throw vx::Exception("VXW_DIRUTIL_GETPROGRAMPATH_GETMODULEHANDLE: Unable to get module handle",
                            ENOENT);
    }
    char path[PATH_MAX + 1];
    ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) {
        throw vx::Exception("VXW_DIRUTIL_GETPROGRAMPATH_GETMODULEFILENAME: Unable to get module path",
                            errno);
    }
    vx::Str file(path, static_cast<size_t>(length));
    return file.substr(0, file.rfind('/') + 1);
}

vx::Str HomeFolder() {
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    struct passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

vx::Str XdgFolder(const char* variable, const char* fallback) {
    // A relative value is to be ignored, as the base directory rules say.
    const char* value = getenv(variable);
    return value != nullptr && value[0] == '/' ? vx::Str(value) : HomeFolder() + "/" + fallback;
}

vx::Str GetStateFolder() {
    vx::Str folder = XdgFolder("XDG_STATE_HOME", ".local/state") + "/Palisandre/";
    CreatePath(folder);
    return folder;
}

bool FileExists(const vx::Str& fileName) {
    struct stat info;
    return stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const vx::Str& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const vx::Str& path) {
    vx::Str folder = path;
    if (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
    return mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && FolderExists(folder));
}

}  // namespace DirUtil
}  // namespace vxw
