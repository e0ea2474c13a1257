// mirelink-httpmail: a local HTTPMail service for tests, demos and benchmarks.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "tools/httpmail/fault_plan.h"
#include "tools/httpmail/httpmail_service.h"
#include "tools/httpmail/iso_time.h"
#include "tools/httpmail/journal.h"
#include "tools/httpmail/listener.h"
#include "tools/httpmail/mail_dir.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/options.h"
#include "tools/httpmail/samples.h"
#include "tools/httpmail/sent_store.h"

using namespace httpmail;

namespace {
int Fail(const std::string& text) {
    std::fprintf(stderr, "mirelink-httpmail: %s\n", text.c_str());
    return 2;
}

bool LoadAccounts(const Options& options, std::vector<Account>& accounts, std::string& error) {
    if (options.mailDir.empty())
        accounts = BuiltInSamples();
    else if (!LoadMailDir(options.mailDir, options.writeBack, accounts, error))
        return false;
    const int64_t now = NowUtc();
    for (Account& account : accounts) {
        if (options.fillCount > 0)
            AddGeneratedMessages(account, options.fillCount, options.fillSize, now);
        if (options.authOverride) account.schemes = options.authOverride;
    }
    return true;
}

std::string StateFile(const Options& options, const char* name) {
    return options.stateDir.empty() ? ""
                                    : (std::filesystem::path(options.stateDir) / name).string();
}

ServiceSettings Settings(const Options& options) {
    ServiceSettings settings;
    settings.publicHost = options.publicHost;
    settings.proxyAuth = options.proxyAuth;
    settings.copyToSent = options.copyToSent;
    settings.copyAndDelete = options.copyAndDelete;
    settings.put = options.put;
    settings.folderChanges = options.folderChanges;
    settings.freshNonce = options.freshNonce;
    settings.latencyMs = options.latencyMs;
    settings.headerProperties = options.headerProperties;
    settings.verbose = options.verbose;
    return settings;
}

// Blocks the stop signals in every thread; the main thread takes them with sigwait.
sigset_t BlockStopSignals() {
    signal(SIGPIPE, SIG_IGN);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) return Fail(error);
    if (options.help) {
        std::fputs(HelpText(), stdout);
        return 0;
    }
    if (!options.exportSamples.empty())
        return ExportMailDir(BuiltInSamples(), options.exportSamples, error) ? 0 : Fail(error);

    std::vector<Account> accounts;
    if (!LoadAccounts(options, accounts, error)) return Fail(error);
    std::error_code made;
    if (!options.stateDir.empty() && !std::filesystem::create_directories(options.stateDir, made) &&
        made)
        return Fail(options.stateDir + ": " + made.message());

    Mailbox mailbox;
    size_t messages = 0;
    for (Account& account : accounts) {
        for (const Folder& folder : account.folders) messages += folder.messages.size();
        mailbox.AddAccount(std::move(account));
    }
    SentStore sent(StateFile(options, "sent"));
    Journal journal(StateFile(options, "journal.log"));
    FaultPlan faults;
    for (const FaultRule& rule : options.faults) faults.Add(rule);
    HttpMailService service(Settings(options), mailbox, sent, journal, faults);
    ReadLimits limits;
    limits.maxBody = options.maxBody;
    limits.idleMs = int(options.idleSeconds * 1000);

    const sigset_t stopSignals = BlockStopSignals();
    Listener listener(service, limits, options.maxConnections);
    unsigned port = 0;
    try {
        port = listener.Bind(options.bind, options.port);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    std::printf("%u\n", port);
    std::fflush(stdout);
    std::fprintf(stderr, "mirelink-httpmail: listening on %s:%u, %zu accounts, %zu messages\n",
                 options.bind.c_str(), port, mailbox.AccountNames().size(), messages);

    std::thread runner([&listener] { listener.Run(); });
    int received = 0;
    sigwait(&stopSignals, &received);
    listener.Stop();
    runner.join();
    std::fprintf(stderr, "mirelink-httpmail: stopped\n");
    return 0;
}
