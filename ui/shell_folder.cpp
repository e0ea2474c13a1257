#include "ui/shell_folder.h"

#include <windows.h>
// After windows.h, which they need.
#include <shlobj.h>

#include "core/exception.h"
#include "text/str_util.h"

namespace vxg {
namespace {

void FreeItemList(LPITEMIDLIST list) {
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(list);
        allocator->Release();
    }
}

}  // namespace

vx::Str GetSpecialFolderPath(int folderId) {
    LPITEMIDLIST list = nullptr;
    HRESULT result = SHGetSpecialFolderLocation(nullptr, folderId, &list);
    if (FAILED(result)) {
        throw vx::Exception(
            "vxg::GetSpecialFolderPath::SHGetSpecialFolderLocation - Error getting item list - " +
            vx::StrUtil::IntToStr(result) + " - " + vx::StrUtil::IntToStr(folderId));
    }
    char path[MAX_PATH] = {};
    BOOL found = SHGetPathFromIDListA(list, path);
    DWORD error = GetLastError();
    FreeItemList(list);
    if (!found) {
        throw vx::Exception(
            "vxg::GetSpecialFolderPath::SHGetPathFromIDList - Error getting item list - " +
            vx::StrUtil::UIntToStr(error) + " - " + vx::StrUtil::IntToStr(folderId));
    }
    vx::Str folder = path;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

vx::Str GetStartupFolderPath() {
    try {
        return GetSpecialFolderPath(CSIDL_STARTUP);
    } catch (const vx::Exception&) {
    }
    try {
        return GetSpecialFolderPath(CSIDL_COMMON_STARTUP);
    } catch (const vx::Exception&) {
    }
    return GetSpecialFolderPath(CSIDL_STARTUP);
}

}  // namespace vxg
