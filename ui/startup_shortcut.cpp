#include "ui/startup_shortcut.h"

#include <windows.h>

#include "core/dir_util.h"
#include "core/exception.h"
#include "text/str_util.h"
#include "ui/shell_folder.h"
#include "ui/shortcut.h"

namespace {

vx::Str LinkPath() {
    return vxg::GetStartupFolderPath() + "Mirelink.lnk";
}

}  // namespace

bool StartupShortcut::Exists() {
    try {
        return vxw::DirUtil::FileExists(LinkPath());
    } catch (...) {
        return false;
    }
}

// A failure is reported rather than passed over: the user asked for the
// program to start with Windows and would otherwise believe it will.
void StartupShortcut::Set(bool wanted) {
    vx::Str link = LinkPath();
    bool exists = vxw::DirUtil::FileExists(link);
    if (wanted && !exists) {
        vx::Str program = vxw::DirUtil::GetProgramPath() + "mirelink.exe";
        if (!vxg::CreateShortcut(link, program, nullptr)) {
            throw vx::Exception(
                "StartupShortcut::Set::CreateShortcut - Error creating shortcut - " + link);
        }
    } else if (!wanted && exists) {
        if (!DeleteFileA(link.c_str())) {
            throw vx::Exception("StartupShortcut::Set::DeleteFile - Error deleting shortcut - " +
                                link + " - " + vx::StrUtil::UIntToStr(GetLastError()));
        }
    }
}
