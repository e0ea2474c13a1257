#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/dir_util.h"
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
    return mkdir(folder.c_str(), 0755) == 0 || (errno == EEXIST && FolderExists(folder));
}

}  // namespace DirUtil
}  // namespace vxw
