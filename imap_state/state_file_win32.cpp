#include <windows.h>

#include <cstdio>

#include "core/file_util.h"
#include "imap_state/state_file.h"

namespace ImapStateFile {

bool WriteAtomically(const vx::Str& path, const vx::Str& bytes) {
    vx::Str temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
    if (!SaveToFile(temporary, bytes)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (MoveFileExA(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    std::remove(temporary.c_str());
    return false;
}

}  // namespace ImapStateFile
