// The HTTP client reading what a server or proxy answers: status line and
// head, sized, chunked and close-delimited bodies, into memory, a file or a
// sink (one that takes all, or one that has enough after its first piece),
// with the 401 and 407 answers, redirects and the CONNECT tunnel they lead
// to. Every answer ends in a page or an HttpError/SocketError, never in a
// crash or a wait, and a page is never more than the server sent.
//
// Input: byte 0 chooses the request (see kFlags); the rest is the answer the
// server gives on every connection, after which it closes.
#include "core/exception.h"
#include "fuzz/support/answering_server.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/scratch_folder.h"
#include "http/http.h"

namespace {

enum Flags : uint8_t {
    kMethodMask = 3,         // GET, HEAD, PROPFIND with a body, POST with a body
    kToFile = 1 << 2,        // the body goes to a file
    kThroughProxy = 1 << 3,  // the server is a proxy; redirects are followed
    kCredentials = 1 << 4,   // a 401 is answered
    kProxyUser = 1 << 5,     // a 407 is answered
    kTls = 1 << 6,           // with the proxy: a CONNECT tunnel, then TLS
    kSink = 1 << 7,          // the final body goes to a sink; with kToFile, one that stops
};

// Counts what reaches it; with stopEarly it wants no more after one piece.
struct CountingSink : vxw::BodySink {
    explicit CountingSink(bool stopEarly) : stopEarly(stopEarly) {}
    bool Put(const char*, size_t count) override {
        FUZZ_CHECK(count > 0 && !stopped);
        received += count;
        stopped = stopEarly;
        return !stopEarly;
    }
    bool stopEarly, stopped = false;
    size_t received = 0;
};

const char* const kMethods[] = {"GET", "HEAD", "PROPFIND", "POST"};
constexpr int32_t kTimeoutMs = 2000;

fuzz_support::AnsweringServer* server = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    server = new fuzz_support::AnsweringServer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    server->SetAnswer(vx::Str(fuzz_support::AsText(data + 1, size - 1)));
    const vx::Str method = kMethods[flags & kMethodMask];
    const char body[] = "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"/>";
    const bool hasBody = (flags & kMethodMask) >= 2;
    const bool proxy = flags & kThroughProxy;
    const bool toSink = flags & kSink;
    const vx::Str output =
        flags & kToFile && !toSink ? fuzz_support::ScratchFolder() + "/page" : vx::Str();
    CountingSink sink(flags & kToFile);
    {
        vxw::Http http;
        try {
            if (proxy)
                http.SetServer(-1, flags & kTls, "mail.example", "127.0.0.1", server->Port(),
                               flags & kProxyUser ? "proxy" : "", "word", kTimeoutMs);
            else
                http.SetServer(server->Port(), false, "127.0.0.1", "", 0, "", "", kTimeoutMs);
            bool credentials = flags & kCredentials;
            const char* user = credentials ? "user" : nullptr;
            const char* password = credentials ? "secret" : nullptr;
            if (toSink) {
                vxw::PartsSource source({body});
                http.SendRequest("/folders/inbox/", method, hasBody ? &source : nullptr, user,
                                 password, proxy ? 2 : 0, true, true,
                                 [&sink](const vxw::Http&) { return &sink; });
                FUZZ_CHECK(http.BodyStopped() == sink.stopped);
            } else {
                http.SendRequest("/folders/inbox/", method, hasBody ? body : nullptr,
                                 hasBody ? sizeof body - 1 : 0, user, password, proxy ? 2 : 0, true,
                                 true, output);
            }
            http.GetStatusCode();
            http.GetReasonPhrase();
            http.GetHttpVersion();
            FUZZ_CHECK(http.GetResponseHeaders().size() < size);
            FUZZ_CHECK(http.GetPage().size() < size);
        } catch (const vx::Exception&) {
            // Refused: the promised way to fail.
        }
    }
    FUZZ_CHECK(sink.received < size);
    server->CloseConnections();
    return 0;
}
