#pragma once
// Program folder, the per-user state folder and folder creation.
#include "core/str.h"

namespace vxw {
namespace DirUtil {

// The platform's path separator ('\\' on Windows, '/' elsewhere).
extern const char kSeparator;

// The folder of the running program file (module == nullptr) or of the named
// module, with a trailing separator. Throws the VXW_DIRUTIL_GETPROGRAMPATH_*
// texts with the system error number as code.
vx::Str GetProgramPath(const char* module = nullptr);

// The folder of the user's own state (the Linux log, IMAP's per-user data),
// with a trailing separator, created when missing: on Linux
// $XDG_STATE_HOME/Palisandre/ (default ~/.local/state/Palisandre/), on
// Windows the user's local application-data folder + Palisandre\Mirelink\.
// Throws the CreatePath text naming the folder that could not be made.
vx::Str GetStateFolder();

// True when fileName names an existing file that is not a folder.
bool FileExists(const vx::Str& fileName);

// True when path names an existing folder.
bool FolderExists(const vx::Str& path);

// Creates every missing folder on path. Throws
// "VXW_DIRUTIL_CREATEPATH_CREATEFOLDER: Error creating path - <path> - <folder>".
void CreatePath(const vx::Str& path);

// Makes one folder (a trailing separator is ignored), on Linux for the user
// alone; false on failure.
bool CreateFolder(const vx::Str& path);

}  // namespace DirUtil
}  // namespace vxw
