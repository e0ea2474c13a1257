#pragma once
// The program's HTTP/1.1 client (RFC 7230-7235 as far as the web mail
// service and the update check need it). One object holds one connection to
// one server: direct, through a plain proxy (absolute request URIs), or
// through a proxy's CONNECT tunnel for TLS targets. A request answers Basic
// and Digest challenges once, and later requests to the same server or proxy
// carry credentials before it asks (a Digest nonce counted on, RFC 7616
// 3.4); a body that a challenge may still meet waits for 100 Continue. It
// follows redirects within a budget and keeps a simple cookie jar. One
// thread at a time uses an object; it has no locks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/body_stream.h"
#include "core/str.h"
#include "http/auth_session.h"
#include "http/body_pieces.h"
#include "http/cookie_jar.h"
#include "http/no_case.h"
#include "http/receive_pace.h"
#include "http/response_buffer.h"
#include "net/socket.h"

namespace vxw {

class Http {
public:
    Http();
    Http(const Http&) = delete;
    Http& operator=(const Http&) = delete;

    // Chooses the target and connects at once, unless every value equals the
    // current one and the connection is open. port -1 is 443 with TLS, else 80.
    // Throws SocketError or HttpError (a refused proxy tunnel).
    void SetServer(int32_t port, bool useTls, const vx::Str& host, const vx::Str& proxyHost,
                   int32_t proxyPort, const vx::Str& proxyUser, const vx::Str& proxyPassword,
                   int32_t timeoutMs);

    // Request headers stay set for every later request of this object.
    void SetHeader(const vx::Str& name, const vx::Str& value);
    void RemoveHeader(const vx::Str& name);
    bool HasHeader(const vx::Str& name) const;
    // Whether requests to this server carry credentials now: a challenge was
    // answered (and is answered unasked since), or the caller set them.
    bool SendsCredentials() const { return serverAuth.Known() || HasHeader("Authorization"); }

    // Closes the connection; the next request opens a new one. Headers,
    // cookies and remembered credentials stay.
    void Close() { CloseConnection(); }

    // One request and its response. body == nullptr sends no body (and no
    // Content-Length); user or password nullptr means no credentials. With an
    // outputFile the body of this response goes to that file (replaced).
    // Throws HttpError or SocketError.
    void SendRequest(const vx::Str& path, const vx::Str& method, const char* body, size_t length,
                     const char* user, const char* password, int32_t redirectsLeft, bool allowAuth,
                     bool allowProxyAuth, const vx::Str& outputFile);

    // Picks, once the head of the answer a request ends with has been read
    // (challenges, redirects and 304s followed), where its body goes: a sink,
    // or nullptr to keep it in memory for GetPage. Bodies of the answers that
    // were followed stay in memory.
    using SinkChooser = std::function<BodySink*(const Http&)>;

    // The same with a body read from a source (nullptr: no body at all),
    // rewound whenever the request goes out again, and the final answer's
    // body streamed into the sink that chooseSink picks. A sink that wants no
    // more ends the read early; the connection is then closed, or a small
    // remainder read away, so the next request starts clean.
    void SendRequest(const vx::Str& path, const vx::Str& method, BodySource* body, const char* user,
                     const char* password, int32_t redirectsLeft, bool allowAuth,
                     bool allowProxyAuth, const SinkChooser& chooseSink);

    // Of the last response: status (-1 if none), reason phrase, version
    // (1.1 for "HTTP/1.1", -1 if none), status line and header lines.
    int32_t GetStatusCode() const;
    vx::Str GetReasonPhrase() const;
    double GetHttpVersion() const;
    vx::Str GetResponseHeaders() const { return responseHead; }

    // The body of the last response, from memory or loaded from the output
    // file. Throws HttpError when the file cannot be read.
    void GetPage(vx::Str& page) const;
    vx::Str GetPage() const;
    // The same, but a body in memory is handed over rather than copied (a
    // large message is then never held twice); GetPage is empty afterwards.
    void TakePage(vx::Str& page);
    // Body bytes of the last response that were read, wherever they went.
    int64_t GetBodyBytes() const { return bodyBytes; }
    // Whether the sink of the last response wanted no more before its end.
    bool BodyStopped() const { return sinkStopped; }
    // Whether the server closed the connection before the last response's
    // body reached its Content-Length (it ends quietly there).
    bool BodyEndedEarly() const { return bodyCutShort; }

    // A body held in memory beyond this many bytes fails the request: no
    // answer the program keeps whole comes near it, and a server must not be
    // able to grow the process without end.
    static constexpr size_t kMaxBodyInMemory = size_t(64) << 20;

private:
    // Bodies are read in pieces of at most this many bytes.
    static constexpr size_t kReceivePiece = 100000;

    // Pieces in which a request body is read from its source and sent.
    static constexpr size_t kSendPiece = 256 * 1024;
    // A remainder of a body this small is read away when a sink stops early,
    // so the connection can be kept; a larger one closes it.
    static constexpr int64_t kDrainLimit = 64 * 1024;
    // How long the end of a chunked body's trailer is waited for once its
    // last chunk has arrived.
    static constexpr int32_t kTrailerWaitMs = 500;
    // How long a request that asked with Expect: 100-continue waits for the
    // server's word before its body goes out anyway (RFC 9110, 10.1.1): a
    // server that does not know the expectation just waits for the body.
    static constexpr int32_t kContinueWaitMs = 1000;

    struct Request {
        const vx::Str& path;
        const vx::Str& method;
        BodySource* body;  // nullptr: no body at all
        const char* user;
        const char* password;
    };
    struct Budget {
        int32_t redirectsLeft;
        bool allowAuth;
        bool allowProxyAuth;
    };

    void Issue(const Request& request, const Budget& budget, const vx::Str& output);
    void Exchange(const Request& request, const Budget& budget);
    bool SendAndReadHead(const Request& request, bool reused, bool askFirst);
    bool FinalAnswerBeforeBody();
    bool AnswerArrivesWithin(int32_t ms);
    bool StillUsable();
    bool TalkingToProxy() const;
    void KeepCredentials(const char* user, const char* password);
    void Connect();
    void OpenTunnel(const vx::Str& portText);
    void CloseConnection();
    void WriteRequest(const Request& request, bool askFirst);
    void WriteBody(BodySource& body);
    void ReadHead();
    bool Follows(const Request& request, const Budget& budget) const;
    void DispatchStatus(const Request& request, const Budget& budget);

    void ReadResponseHeaders();
    bool HasBody(const vx::Str& method) const;
    bool ShouldClose(const vx::Str& method) const;
    const vx::Str* FirstHeader(const char* name) const;
    size_t ReceiveMore(size_t max);
    [[noreturn]] void ThrowTooSlow() const;
    bool ReceivePromptly();

    bool LoadPage(vx::Str& page) const;
    void ReadBody(BodySink* sink);
    void ReadSizedBody(int64_t length);
    void DrainOrDrop(int64_t remaining);
    void ReadUntilClose();
    bool ReadChunk();
    void ReadChunkData(uint64_t size);
    size_t FindLineEnd(const char* errorText);
    void SkipTrailer();
    void PutBody(const char* data, size_t count, const char* errorTag);
    bool Stopped() const { return sinkStopped; }

    void AddCredentials(NoCaseMap& headers, const Request& request);
    bool CanAnswerAtOnce(const Request& request, const Budget& budget) const;
    bool RepeatsWithoutExpect() const;
    void AuthenticateRequest(const Request& request, const Budget& budget, bool forProxy);
    void RedirectRequest(const Request& request, const Budget& budget);

    Socket connection;
    vx::Str host;
    int32_t port = 0;
    bool useTls = false;
    vx::Str proxyHost;
    int32_t proxyPort = 0;
    vx::Str proxyUser, proxyPassword;
    int32_t timeout = 0;
    CookieJar cookies;
    vx::Str requestUriPrefix;         // "http://host:port" for plain requests through a proxy
    NoCaseMap requestHeaders;         // written in this (stricmp) order
    mutable int32_t statusCode = -1;  // parsed on first use
    ResponseBuffer receiveBuffer;
    vx::Str responseHead;
    BodyPieces responseBody;  // when there is no output file
    int64_t bodyBytes = 0;
    vx::Str outputFile;
    const SinkChooser* chooseSink = nullptr;  // of the request under way, or nullptr
    BodySink* sink = nullptr;                 // where this response's body goes, or nullptr
    ReceivePace pace;
    NoCaseMultimap responseHeaders;
    vx::Str authUser, authPassword;  // of the last request
    AuthSession serverAuth;          // what this server (host, port) asked for
    AuthSession proxyAuth;           // what the proxy asked for

    bool tunnelling = false;       // the CONNECT request of a tunnel is under way
    bool connectionUsed = false;   // a response already came on this connection
    bool peerClosed = false;       // the server closed this connection
    bool responseStarted = false;  // bytes arrived since the request went out
    bool framingBroken = false;    // the last body's length could not be trusted
    bool sinkStopped = false;      // the sink wanted no more of this body
    bool bodyCutShort = false;     // the connection closed before the Content-Length
    bool askedFirst = false;       // the last request carried Expect: 100-continue
    bool bodyWithheld = false;     // its body never went: the server answered first
    bool expectRefused = false;    // the server answered an expectation 417
};

}  // namespace vxw
