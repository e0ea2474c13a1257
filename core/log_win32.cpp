#include "core/dir_util.h"
#include "core/file_util.h"
#include "core/log.h"

const char kLogLineEnd[] = "\r\n";

namespace vxw {

vx::Str DefaultLogFilePath() { return DirUtil::GetProgramPath() + "mirelink.log"; }

bool AppendLogLine(const vx::Str& path, const vx::Str& line) { return AppendToFile(path, line); }

}  // namespace vxw
