#pragma once
// Program folder and folder creation.
#include "core/str.h"

namespace vxw {
namespace DirUtil {

// The platform's path separator ('\\' on Windows, '/' elsewhere).
extern const char kSeparator;

// The folder of the running program file (module == nullptr) or of the named
// module, with a trailing separator. Throws the VXW_DIRUTIL_GETPROGRAMPATH_*
// texts with the system error number as code.
vx::Str GetProgramPath(const char* module = nullptr);

// True when fileName names an existing file that is not a folder.
bool FileExists(const vx::Str& fileName);

// True when path names an existing folder.
bool FolderExists(const vx::Str& path);

// Creates every missing folder on path. Throws
// "VXW_DIRUTIL_CREATEPATH_CREATEFOLDER: Error creating path - <path> - <folder>".
void CreatePath(const vx::Str& path);

// Makes one folder (a trailing separator is ignored); false on failure.
bool CreateFolder(const vx::Str& path);

}  // namespace DirUtil
}  // namespace vxw
