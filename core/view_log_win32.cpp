#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "core/dir_util.h"
#include "core/log.h"
#include "core/view_log.h"

bool ViewLog() {
    vx::Str path;
    try {
        path = LogFilePath();
    } catch (...) {
        return false;
    }
    if (!vxw::DirUtil::FileExists(path)) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    vx::Str parameter = "\"" + path + "\"";
    HINSTANCE result =
        ShellExecuteA(nullptr, "open", "notepad", parameter.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
