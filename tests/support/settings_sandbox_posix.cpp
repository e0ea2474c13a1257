#include <signal.h>
#include <stdlib.h>

#include <cstdlib>

#include "core/dir_util.h"
#include "core/file_util.h"
#include "settings/reg_file.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

const char kHeader[] =
    "Windows Registry Editor Version "
    "5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n";

// Death-test children leave through exit(); remove their folder then too.
SettingsSandbox* processSandbox = nullptr;
void RemoveProcessSandbox() {
    delete processSandbox;
    processSandbox = nullptr;
}

}  // namespace

struct SettingsSandbox::Impl {
    TempDir home;
    std::string previous;
    bool hadPrevious = false;
    std::string StorePath() const { return home.Path() + "/Palisandre/Mirelink.reg"; }
};

SettingsSandbox::SettingsSandbox() : impl(new Impl) {
    if (const char* previous = getenv("XDG_CONFIG_HOME")) {
        impl->previous = previous;
        impl->hadPrevious = true;
    }
    setenv("XDG_CONFIG_HOME", impl->home.Path().c_str(), 1);
}

SettingsSandbox::~SettingsSandbox() {
    if (impl->hadPrevious) {
        setenv("XDG_CONFIG_HOME", impl->previous.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

void SettingsSandbox::Write(const std::string& regBody) {
    vxw::DirUtil::CreatePath(impl->home.Path() + "/Palisandre");
    SaveToFile(impl->StorePath(), kHeader + regBody);
}

std::string SettingsSandbox::Export() const {
    std::string text;
    LoadFile(impl->StorePath(), text);
    return text;
}

void PrepareTestProcess() {
    processSandbox = new SettingsSandbox;
    std::atexit(RemoveProcessSandbox);
    // Kept after the run, beside the program, so a failed case's log can be read.
    setenv("XDG_STATE_HOME", (vxw::DirUtil::GetProgramPath() + "state").c_str(), 1);
    // A peer that vanishes must give an error, as in the program.
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace testing_support
