#pragma once
// What the command line chose about the service's answers.
#include <string>

namespace httpmail {

struct ServiceSettings {
    std::string publicHost;  // empty: the host the request names
    std::string proxyAuth;   // "user:password", or empty
    bool copyToSent = false;
    bool copyAndDelete = false;    // COPY and DELETE of messages are offered
    bool put = true;               // PUT of new messages is offered
    bool folderChanges = true;     // MKCOL, MOVE and DELETE of user folders are offered
    bool headerProperties = true;  // listings carry mailheader fields when asked
    bool freshNonce = false;       // a Digest nonce serves one request only
    unsigned latencyMs = 0;        // every answer but a control page's is held that long
    bool verbose = false;
};

}  // namespace httpmail
