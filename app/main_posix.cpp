// The Linux program: the gateway without the user interface. It starts like
// the Windows program (settings, log, POP3 then SMTP listener), reports what
// listens where, and stops on SIGINT or SIGTERM the way the tray menu's Exit
// does; SIGHUP reads the settings again, as OK in the options does.
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/check_posix.h"
#include "app/headless.h"
#include "app/options.h"
#include "app/relaunch.h"
#include "app/run_status_posix.h"
#include "app/service_notify_posix.h"
#include "app/settings_command.h"
#include "app/signals_posix.h"
#include "app/single_instance.h"
#include "core/boundary.h"
#include "core/log.h"
#include "core/log_priority.h"
#include "core/thread_handlers.h"
#include "settings/config.h"
#include "settings/registry_key_posix.h"
#include "webmail/hotmail.h"

namespace {

using app::Options;

bool logToStandardError = false;
bool forJournal = false;  // standard error is a service manager's journal
thread_local bool echoed = false;

// Without a window, the terminal is where a user looks; and a line the log
// file could not take would otherwise be lost without a trace. A journal
// gets the priority and no time stamp of ours: it keeps its own.
void EchoLogLine(const vx::Str& line, const vx::Str& text, bool written) {
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    if (!logToStandardError && !terminal && written) return;
    const vx::Str& shown = forJournal ? JournalLine(text) : line;
    ssize_t ignored = write(STDERR_FILENO, shown.data(), shown.size());
    (void)ignored;
    echoed = true;
}

// systemd hands a unit's standard error to the journal and says so in
// JOURNAL_STREAM; "--log -" into anything but a terminal is read the same way.
bool WritesToJournal() {
    return getenv("JOURNAL_STREAM") != nullptr || (logToStandardError && isatty(STDERR_FILENO) != 1);
}

// A report line reaches the user once: through the echo when that showed it,
// else on standard output (the journal, a terminal, a launcher).
void Report(const vx::Str& text) {
    echoed = false;
    Log(text);
    if (echoed) return;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

vx::Str Absolute(const vx::Str& path) {
    char here[PATH_MAX];
    if (path.empty() || path[0] == '/' || getcwd(here, sizeof here) == nullptr) return path;
    return vx::Str(here) + "/" + path;
}

// Sessions each hold a descriptor; the usual soft limit of 1024 is far below
// what the system allows the process.
void RaiseDescriptorLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// The lock follows the settings file, so gateways with files of their own
// run side by side; the user's own file keeps the classic name.
vx::Str InstanceName(const Options& options, const vx::Str& usualFile) {
    vx::Str file = vxw::SettingsFilePath(vxw::RegistryKey::Root::CurrentUser);
    if (options.configFile.empty() || file == usualFile) return app::SingleInstance::kName;
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : file) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return vx::Str(app::SingleInstance::kName) + "-" + text;
}

vx::Str SettingsFile(const Options& options) {
    return vxw::SettingsFilePath(options.localMachine ? vxw::RegistryKey::Root::LocalMachine
                                                      : vxw::RegistryKey::Root::CurrentUser);
}

int Serve(const Options& options, const vx::Str& instanceName, app::SignalRequests& requests) {
    vxw::InstallThreadHandlers();
    app::HeadlessSetup setup;
    setup.localMachine = options.localMachine;
    setup.settingsFile = SettingsFile(options);
    setup.logFile = LogFilePath().empty() ? vx::Str("standard error") : LogFilePath();
    setup.makeAccount = MakeHotmail;
    setup.report = Report;
    setup.onRunning = [] { app::TellLauncher(app::StartOutcome::Running); };
    setup.notify = app::NotifyServiceManager;
    app::RunStatus status(instanceName, setup.settingsFile, setup.logFile);
    setup.onServices = [&status](const std::vector<vx::Str>& lines) { status.Services(lines); };
    return app::RunHeadless(setup, requests);
}

int Run(const Options& options, const vx::Str& instanceName) {
    RaiseDescriptorLimit();
    app::SignalRequests requests;  // before any thread starts
    app::SingleInstance instance(instanceName);
    int result = 1;
    vx::CatchAtBoundary(
        "WinMain", vx::kUnexpected,
        [&] {
            if (instance.Acquire()) {
                result = Serve(options, instanceName, requests);
                return;
            }
            long holder = static_cast<long>(app::SingleInstance::Holder(instanceName));
            std::fprintf(stderr, "Mirelink already runs with %s%s\n", SettingsFile(options).c_str(),
                         holder > 0 ? (" (process " + std::to_string(holder) + ")").c_str() : "");
            app::TellLauncher(app::StartOutcome::AlreadyRunning);
            result = 0;
        },
        [](const vx::Str& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    return result;
}

// "--config" names a file; a folder that does not exist is a mistake in the
// name, not one to make.
bool FolderOfExists(const vx::Str& file) {
    vx::Str folder = file.substr(0, file.rfind('/') + 1);
    struct stat info;
    return folder.empty() || (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

int RunCommand(const Options& options, const vx::Str& instanceName) {
    if (options.action == Options::Action::Status) return app::ShowStatus(instanceName, SettingsFile(options));
    if (options.action == Options::Action::Check) return app::RunCheck(options, SettingsFile(options));
    int result = app::RunSettingsCommand(options);
    int64_t holder = app::SingleInstance::Holder(instanceName);
    if (result == 0 && options.action == Options::Action::Set && holder > 0) {
        std::fprintf(stderr, "The gateway that runs with these settings (process %lld) takes them on SIGHUP: "
                             "kill -HUP %lld\n",
                     static_cast<long long>(holder), static_cast<long long>(holder));
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = app::ParseOptions(std::vector<vx::Str>(argv + 1, argv + argc));
    } catch (const app::UsageError& e) {
        std::fprintf(stderr, "mirelink: %s\n\n%s", e.text.c_str(), app::kUsage);
        return 2;
    }
    if (options.action == Options::Action::Help) {
        std::fputs(app::kUsage, stdout);
        return 0;
    }
    if (options.action == Options::Action::Version) {
        std::printf("%s\n", Config::GetVersion().c_str());
        return 0;
    }
    // A copy runs from another working folder's point of view: names made whole.
    if (!options.configFile.empty()) options.configFile = Absolute(options.configFile);
    if (!options.configFile.empty() && !FolderOfExists(options.configFile)) {
        std::fprintf(stderr, "mirelink: --config %s: the folder %s does not exist\n", options.configFile.c_str(),
                     options.configFile.substr(0, options.configFile.rfind('/')).c_str());
        return 2;
    }
    if (options.logChosen && options.logFile != "-") options.logFile = Absolute(options.logFile);
    if (options.action == Options::Action::Detach) return app::RelaunchDetached(app::ArgumentsForCopy(options));

    // A mail client that vanishes must give an error, not end the process.
    signal(SIGPIPE, SIG_IGN);
    vx::Str usualFile = vxw::SettingsFilePath(vxw::RegistryKey::Root::CurrentUser);
    if (!options.configFile.empty()) vxw::UseSettingsFile(options.configFile);
    if (options.logChosen) {
        logToStandardError = options.logFile == "-";
        SetLogFile(logToStandardError ? vx::Str() : options.logFile);
    }
    forJournal = WritesToJournal();
    // --check speaks for itself; the log keeps the details.
    if (options.action != Options::Action::Check) SetLogEcho(EchoLogLine);
    vx::Str instanceName = InstanceName(options, usualFile);
    if (options.action == Options::Action::Run) return Run(options, instanceName);
    return RunCommand(options, instanceName);
}
