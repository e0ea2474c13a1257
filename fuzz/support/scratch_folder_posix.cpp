#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "core/dir_util.h"
#include "core/log.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/scratch_folder.h"

namespace fuzz_support {
namespace {

vx::Str MakeScratchFolder() {
    // Beside the program, like its log: what a crash leaves behind stays in the build.
    vx::Str pattern = vxw::DirUtil::GetProgramPath() + "scratch-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return pattern;
}

}  // namespace

const vx::Str& ScratchFolder() {
    // Never destroyed: the removal at exit still needs the name.
    static const vx::Str* folder = new vx::Str(MakeScratchFolder());
    return *folder;
}

void UsePrivateSettings(const Config::Values& values) {
    FUZZ_CHECK(::setenv("XDG_CONFIG_HOME", ScratchFolder().c_str(), 1) == 0);
    // The log too: never the user's own.
    FUZZ_CHECK(::setenv("XDG_STATE_HOME", ScratchFolder().c_str(), 1) == 0);
    SetLogFile(ScratchFolder() + "/mirelink.log");
    Config::Instance().SetValues(values);
}

}  // namespace fuzz_support
