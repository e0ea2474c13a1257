#include "session/spool_file.h"

#include "core/dir_util.h"

namespace vxw {

vx::Str SpoolFolder() {
    vx::Str folder = DirUtil::GetStateFolder() + "spool" + DirUtil::kSeparator;
    DirUtil::CreateFolder(folder);
    return folder;
}

}  // namespace vxw
