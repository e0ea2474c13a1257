#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "core/dir_util.h"
#include "core/exception.h"

namespace vxw {
namespace DirUtil {

const char kSeparator = '\\';

vx::Str GetProgramPath(const char* module) {
    HMODULE handle = GetModuleHandleA(module);
    if (handle == nullptr) {
        throw vx::Exception(
            "VXW_DIRUTIL_GETPROGRAMPATH_GETMODULEHANDLE: Unable to get module handle",
            static_cast<int32_t>(GetLastError()));
    }
    // A path that fills the buffer has been cut short: try a larger one.
    vx::Str path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(handle, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw vx::Exception(
                "VXW_DIRUTIL_GETPROGRAMPATH_GETMODULEFILENAME: Unable to get module path",
                static_cast<int32_t>(GetLastError()));
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind('\\') + 1);
}

namespace {

// The variable first: it is what the system sets for the user, and what a
// test or a portable setup may point elsewhere.
vx::Str LocalAppDataFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", path, sizeof path);
    if (length > 0 && length < sizeof path) return path;
    HRESULT result = SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(result)) {
        throw vx::Exception("VXW_DIRUTIL_GETSTATEFOLDER_SHGETFOLDERPATH: Unable to get the local "
                            "application data folder",
                            static_cast<int32_t>(result));
    }
    return path;
}

}  // namespace

vx::Str GetStateFolder() {
    vx::Str folder = LocalAppDataFolder();
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    folder += "Palisandre\\Mirelink\\";
    CreatePath(folder);
    return folder;
}

bool FileExists(const vx::Str& fileName) {
    DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const vx::Str& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolder(const vx::Str& path) {
    vx::Str folder = path;
    if (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return CreateDirectoryA(folder.c_str(), nullptr) != 0 ||
           (GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(folder));
}

}  // namespace DirUtil
}  // namespace vxw
