#pragma once
// The command line of mirelink-httpmail.
#include <string>
#include <vector>

#include "tools/httpmail/fault_plan.h"

namespace httpmail {

struct Options {
    std::string bind = "127.0.0.1";
    unsigned port = 8080;
    std::string mailDir;        // empty: the built-in samples
    bool writeBack = false;     // moves rename the files in mailDir
    std::string stateDir;       // journal and sent mail; empty: memory only
    std::string publicHost;     // host[:port] in the URLs handed out; empty: the request's
    unsigned authOverride = 0;  // schemes every account accepts; 0: each account's own
    std::string proxyAuth;      // "user:password" asked of absolute-URI requests
    std::vector<FaultRule> faults;
    bool copyToSent = false;       // a submitted message also lands in the sent folder
    bool copyAndDelete = false;    // answer COPY and DELETE of messages
    bool put = true;               // answer PUT of new messages
    bool folderChanges = true;     // answer MKCOL, MOVE and DELETE of user folders
    bool headerProperties = true;  // listings carry mailheader fields when asked
    size_t fillCount = 0, fillSize = 4000;
    unsigned idleSeconds = 60;
    size_t maxBody = 64u << 20;
    unsigned maxConnections = 256;
    bool freshNonce = false;  // every second use of a Digest nonce gets 401 stale=true
    unsigned latencyMs = 0;   // every answer is held that long
    bool verbose = false;
    std::string exportSamples;  // write the samples there and exit
    bool help = false;
};

// False with `error` set for a command line it cannot use.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
const char* HelpText();

}  // namespace httpmail
