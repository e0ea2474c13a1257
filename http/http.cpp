#include "http/http.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/dir_util.h"
#include "core/exception.h"

namespace vxw {
namespace {

// Restores a value when the scope ends, also on an exception.
template <typename T>
class Restore {
public:
    Restore(T& place, T during) : place(place), saved(place) { place = during; }
    ~Restore() { place = saved; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& place;
    T saved;
};

// Methods that may go out a second time when a kept-alive connection turns
// out dead after they were sent (RFC 7230, 6.3.1): the server cannot have
// acted on them in a way that repeating them would change. A POST or MOVE
// that reached the server may have taken effect.
bool IsIdempotent(const vx::Str& method) {
    for (const char* safe : {"GET", "HEAD", "PROPFIND", "CONNECT"})
        if (EqualNoCase(method, safe)) return true;
    return false;
}

// Gives the receive room back once a request is done, also on an
// exception: a connection object that waits for the next request (an idle
// mail session's, for hours maybe) holds no room for an answer.
class ReleaseRoom {
public:
    explicit ReleaseRoom(ResponseBuffer& buffer) : buffer(buffer) {}
    ~ReleaseRoom() { buffer.ReleaseIfEmpty(); }
    ReleaseRoom(const ReleaseRoom&) = delete;
    ReleaseRoom& operator=(const ReleaseRoom&) = delete;

private:
    ResponseBuffer& buffer;
};

}  // namespace

Http::Http() {
    requestHeaders["User-Agent"] = "VX";
    requestHeaders["Connection"] = "Keep-Alive";
}

void Http::SetServer(int32_t newPort, bool newTls, const vx::Str& newHost,
                     const vx::Str& newProxyHost, int32_t newProxyPort, const vx::Str& newProxyUser,
                     const vx::Str& newProxyPassword, int32_t timeoutMs) {
    if (newPort == -1) newPort = newTls ? 443 : 80;
    bool same = newHost == host && newTls == useTls && newPort == port &&
                newProxyHost == proxyHost && newProxyPort == proxyPort &&
                newProxyUser == proxyUser && newProxyPassword == proxyPassword &&
                timeoutMs == timeout;
    if (same && connection.IsOpen()) return;
    receiveBuffer.Clear();
    bool sameProxy = newProxyHost == proxyHost && newProxyPort == proxyPort &&
                     newProxyUser == proxyUser && newProxyPassword == proxyPassword;
    // What a server or proxy asked for is answered only to that server or
    // proxy, with the credentials it was asked for.
    if (!sameProxy) proxyAuth.Forget();
    if (!sameProxy || newHost != host || newTls != useTls || newPort != port) {
        serverAuth.Forget();
        expectRefused = false;
    }
    host = newHost, port = newPort, useTls = newTls;
    proxyHost = newProxyHost, proxyPort = newProxyPort;
    proxyUser = newProxyUser, proxyPassword = newProxyPassword;
    timeout = timeoutMs;
    Connect();
}

void Http::SetHeader(const vx::Str& name, const vx::Str& value) {
    requestHeaders[name] = value;
}

void Http::RemoveHeader(const vx::Str& name) {
    requestHeaders.erase(name);
}

bool Http::HasHeader(const vx::Str& name) const {
    return requestHeaders.count(name) != 0;
}

void Http::SendRequest(const vx::Str& path, const vx::Str& method, const char* body, size_t length,
                       const char* user, const char* password, int32_t redirectsLeft,
                       bool allowAuth, bool allowProxyAuth, const vx::Str& output) {
    PartsSource source(body != nullptr ? vx::StrParts{{body, length}} : vx::StrParts());
    Restore<const SinkChooser*> noSink(chooseSink, nullptr);
    ReleaseRoom release(receiveBuffer);
    Issue(Request{path, method, body != nullptr ? &source : nullptr, user, password},
          Budget{redirectsLeft, allowAuth, allowProxyAuth}, output);
}

void Http::SendRequest(const vx::Str& path, const vx::Str& method, BodySource* body,
                       const char* user, const char* password, int32_t redirectsLeft,
                       bool allowAuth, bool allowProxyAuth, const SinkChooser& choose) {
    Restore<const SinkChooser*> chosen(chooseSink, choose ? &choose : nullptr);
    ReleaseRoom release(receiveBuffer);
    Issue(Request{path, method, body, user, password},
          Budget{redirectsLeft, allowAuth, allowProxyAuth}, "");
}

void Http::Issue(const Request& request, const Budget& budget, const vx::Str& output) {
    outputFile = output;
    if (!outputFile.empty() && DirUtil::FileExists(outputFile)) std::remove(outputFile.c_str());
    // The tunnel's own request is the proxy's business, not the account's.
    if (!tunnelling) KeepCredentials(request.user, request.password);

    try {
        Exchange(request, budget);
    } catch (...) {
        // Whatever is left on the connection is no longer a response start.
        CloseConnection();
        throw;
    }
    if (ShouldClose(request.method)) CloseConnection();
    DispatchStatus(request, budget);
}

void Http::Exchange(const Request& request, const Budget& budget) {
    bool retryable = IsIdempotent(request.method);
    // A request that must not go out twice is never sent on a connection the
    // server has already given up: checked before the first byte is written.
    if (!retryable && connection.IsOpen() && connectionUsed && !StillUsable()) CloseConnection();
    if (!connection.IsOpen()) Connect();
    // A body goes out once: where the credentials that will be asked for
    // cannot be given yet, the server is asked first and a challenge costs
    // no body.
    bool askFirst = request.body != nullptr && request.body->Size() > 0 && !expectRefused &&
                    !CanAnswerAtOnce(request, budget);
    if (!SendAndReadHead(request, connectionUsed && retryable, askFirst)) {
        // The server dropped the kept-alive connection before answering (it
        // closed an idle connection just as the request went out): the
        // request never reached it, so one attempt on a fresh connection is safe.
        Connect();
        SendAndReadHead(request, false, askFirst);
    }
    ReadHead();
    sink = nullptr;
    if (chooseSink != nullptr && !Follows(request, budget)) sink = (*chooseSink)(*this);
    if (HasBody(request.method)) ReadBody(sink);
}

bool Http::SendAndReadHead(const Request& request, bool reused, bool askFirst) {
    bool clean = receiveBuffer.Empty();
    responseStarted = false;
    askedFirst = askFirst;
    bodyWithheld = false;
    try {
        WriteRequest(request, askFirst);
        if (askFirst && FinalAnswerBeforeBody()) {
            // The connection still expects the body the head announced.
            bodyWithheld = true;
        } else {
            if (request.body != nullptr) WriteBody(*request.body);
            pace.Start(ReceivePace::Phase::Head, timeout);
            ReadResponseHeaders();
        }
    } catch (const HttpError&) {
        throw;
    } catch (const SocketError&) {
        // A reset shows as a failure; a time-out leaves the socket unreadable and is not retried.
        if (!reused || !clean || responseStarted || !connection.WaitUntilReadable(0)) throw;
        return false;
    }
    if (reused && clean && !responseStarted && peerClosed) return false;
    connectionUsed = true;
    return true;
}

bool Http::RepeatsWithoutExpect() const {
    return GetStatusCode() == 417 && askedFirst && !expectRefused;
}

bool Http::StillUsable() {
    // Between responses nothing should arrive; a readable socket means the
    // server closed it, reset it or sent something that answers nothing.
    return receiveBuffer.Empty() && !connection.WaitUntilReadable(0);
}

bool Http::TalkingToProxy() const {
    // Inside a tunnel the other end is the server, not the proxy.
    return !proxyHost.empty() && (!useTls || tunnelling);
}

void Http::Connect() {
    CloseConnection();
    vx::Str portText = std::to_string(port);
    try {
        if (proxyHost.empty()) {
            requestUriPrefix.clear();
            connection.Open(port, host, timeout, useTls);
        } else {
            requestUriPrefix = useTls || tunnelling ? "" : "http://" + host + ":" + portText;
            connection.Open(proxyPort, proxyHost, timeout, false);
            if (useTls) OpenTunnel(portText);
        }
    } catch (...) {
        CloseConnection();
        throw;
    }
    if (!tunnelling) requestHeaders["Host"] = port == 80 ? host : host + ":" + portText;
}

void Http::OpenTunnel(const vx::Str& portText) {
    {
        Restore<bool> plain(useTls, false);
        Restore<bool> inTunnel(tunnelling, true);
        // The output file belongs to the request that needed the tunnel.
        Restore<vx::Str> output(outputFile, "");
        Restore<const SinkChooser*> noSink(chooseSink, nullptr);
        // No redirects for the tunnel itself: a proxy has nowhere else to send it.
        Issue(Request{host + ":" + portText, "CONNECT", nullptr, nullptr, nullptr},
              Budget{0, true, true}, "");
    }
    if (GetStatusCode() != 200)
        throw HttpError(
            "Http::Connect::ConnectSSl - There was an error opening the SSL tunnel to " + host +
                " through " + proxyHost,
            GetStatusCode());
    // The server name goes along for servers that pick their certificate by
    // it; an address literal is not a name.
    bool address = host.find_first_not_of("0123456789.") == vx::Str::npos;
    if (!connection.HasTls()) connection.SslConnect(address ? vx::Str() : host);
    // The proxy's answer does not count: towards the server the connection
    // is new (and what its TLS sends after the handshake is no sign of a close).
    connectionUsed = false;
}

void Http::CloseConnection() {
    connection.Close();
    // Bytes of a closed connection never belong to the next one.
    receiveBuffer.Clear();
    peerClosed = false;
    connectionUsed = false;
}

void Http::WriteRequest(const Request& request, bool askFirst) {
    if (request.body != nullptr)
        requestHeaders["Content-Length"] = std::to_string(request.body->Size());
    else
        requestHeaders.erase("Content-Length");
    if (cookies.Empty())
        requestHeaders.erase("Cookie");
    else
        requestHeaders["Cookie"] = cookies.HeaderValue();
    // Credentials are made for this request alone (a Digest answer names its
    // path and counts its nonce's uses), so they never stay in requestHeaders.
    NoCaseMap headers = requestHeaders;
    AddCredentials(headers, request);
    if (askFirst) headers["Expect"] = "100-continue";

    vx::Str head = request.method + " " + requestUriPrefix + request.path + " HTTP/1.1\r\n";
    for (const auto& header : headers) {
        // The proxy sees the tunnel request in clear text; what is meant for
        // the server behind it stays out.
        if (tunnelling &&
            (EqualNoCase(header.first, "Authorization") || EqualNoCase(header.first, "Cookie")))
            continue;
        // The proxy's credentials are the proxy's: never for the server at
        // the other end of a tunnel.
        if (!TalkingToProxy() && EqualNoCase(header.first, "Proxy-Authorization")) continue;
        head += header.first + ": " + header.second + "\r\n";
    }
    head += "\r\n";
    connection.SendText(head);
}

void Http::WriteBody(BodySource& body) {
    body.Rewind();
    uint64_t left = body.Size();
    if (left == 0) return;
    // Taken for this body only, no larger than it: a connection object keeps
    // no send room between requests.
    size_t room = static_cast<size_t>(std::min<uint64_t>(left, kSendPiece));
    std::unique_ptr<char[]> piece(new char[room]);
    while (left > 0) {
        size_t got = body.Read(piece.get(), static_cast<size_t>(std::min<uint64_t>(left, room)));
        // The Content-Length is out already: a body that comes up short
        // would leave the server waiting for the rest.
        if (got == 0)
            throw HttpError(
                "Http::SendRequest::Body - The request body ended before its length - " + host, 0);
        connection.Send(piece.get(), got);
        left -= got;
    }
}

bool Http::Follows(const Request& request, const Budget& budget) const {
    int32_t status = GetStatusCode();
    switch (status) {
        case 401:
            return request.user != nullptr && request.password != nullptr && budget.allowAuth;
        case 407:
            return !proxyUser.empty() && budget.allowProxyAuth && TalkingToProxy();
        case 417:
            return RepeatsWithoutExpect();
        default:
            return status >= 300 && status <= 399 && budget.redirectsLeft > 0;
    }
}

void Http::DispatchStatus(const Request& request, const Budget& budget) {
    int32_t status = GetStatusCode();
    switch (status) {
        case 401:
            if (request.user != nullptr && request.password != nullptr && budget.allowAuth)
                return AuthenticateRequest(request, budget, false);
            // Refused as they are: not to be offered again unasked.
            if (!tunnelling) serverAuth.Forget();
            throw HttpError("Http::SendRequest::Unauthorized - Unauthorized to access resource - " +
                                host + request.path,
                            401);
        case 407:
            if (!proxyUser.empty() && budget.allowProxyAuth && TalkingToProxy())
                return AuthenticateRequest(request, budget, true);
            proxyAuth.Forget();
            throw HttpError(
                "Http::SendRequest::ProxyUnauthorized - Unauthorized to access proxy server - " +
                    host + request.path,
                407);
        case 417:
            // The expectation went through something that does not know it
            // (RFC 9110, 10.1.1): the request goes again without it.
            if (RepeatsWithoutExpect()) {
                expectRefused = true;
                Issue(request, budget, "");
            }
            return;
        case 304:
            if (budget.redirectsLeft > 0)
                Issue(request, Budget{budget.redirectsLeft - 1, true, true}, "");
            return;
        default:
            if (status >= 300 && status <= 399 && budget.redirectsLeft > 0) {
                RemoveHeader("Authorization");
                RedirectRequest(request, budget);
            }
    }
}

}  // namespace vxw
