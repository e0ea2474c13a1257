// Reading the response head and deciding what follows it.
#include <algorithm>
#include <chrono>

#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "http/http.h"
#include "http/response_head.h"

namespace vxw {
namespace {

// A head (status line and header lines) larger than this is refused rather
// than buffered without end.
constexpr size_t kMaxHeadSize = 1 << 20;
// A wait that the socket ended may be measured this much shorter than asked.
constexpr int64_t kClockSlackMs = 5;

int64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace

size_t Http::ReceiveMore(size_t max) {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        if (pace.Exhausted()) ThrowTooSlow();
        int32_t wait = pace.NextWaitMs();
        size_t before = pace.BytesInWindow();
        connection.SetTimeout(wait);
        Clock::time_point start = Clock::now();
        size_t got = 0;
        try {
            got = receiveBuffer.ReceiveFrom(connection, std::min(max, kReceivePiece));
        } catch (const SocketError&) {
            connection.SetTimeout(timeout);
            int64_t waited = ElapsedMs(start);
            // Not a wait that ran out: a failure of its own.
            if (waited + kClockSlackMs < wait) throw;
            pace.Account(waited, 0);
            // A whole time-out without a byte: the socket's own time-out, as ever.
            if (before == 0) throw;
            continue;
        }
        connection.SetTimeout(timeout);
        pace.Account(ElapsedMs(start), got);
        if (got == 0)
            peerClosed = true;
        else
            responseStarted = true;
        return got;
    }
}

void Http::ThrowTooSlow() const {
    if (pace.PastDeadline())
        throw HttpError("Http::ReadBody::Time - The answer took longer than " +
                            std::to_string(pace.DeadlineMs()) + " ms - " + host,
                        0);
    vx::Str limit = std::to_string(timeout) + " ms - " + host;
    if (pace.CurrentPhase() == ReceivePace::Phase::Head)
        throw HttpError(
            "Http::ReadResponseHeaders::Time - The response head took longer than " + limit, 0);
    throw HttpError("Http::ReadBody::Slow - The body moved less than " +
                        std::to_string(ReceivePace::kBodyFloor) + " bytes in " + limit,
                    0);
}

bool Http::ReceivePromptly() {
    connection.SetTimeout(std::max(std::min(timeout, kTrailerWaitMs), ReceivePace::kMinWaitMs));
    size_t got = 0;
    try {
        got = receiveBuffer.ReceiveFrom(connection, kReceivePiece);
    } catch (const SocketError&) {
        got = 0;
    }
    connection.SetTimeout(timeout);
    return got > 0;
}

void Http::ReadResponseHeaders() {
    responseHeaders.clear();
    responseHead.clear();
    responseBody.Clear();
    statusCode = -1;
    bodyBytes = 0;
    framingBroken = false;
    sinkStopped = false;
    bodyCutShort = false;
    size_t searched = 0;
    for (;;) {
        size_t end = receiveBuffer.Find("\r\n\r\n", searched);
        if (end != ResponseBuffer::npos) {
            responseHead.assign(receiveBuffer.Data(), end + 2);
            receiveBuffer.Consume(end + 4);
            return;
        }
        if (receiveBuffer.Size() > kMaxHeadSize)
            throw HttpError("Http::ReadResponseHeaders::Size - The response head exceeds " +
                                std::to_string(kMaxHeadSize) + " bytes - " + host,
                            0);
        searched = receiveBuffer.Size() < 3 ? 0 : receiveBuffer.Size() - 3;
        if (ReceiveMore(kReceivePiece) == 0) return;
    }
}

bool Http::FinalAnswerBeforeBody() {
    if (!AnswerArrivesWithin(std::min(timeout, kContinueWaitMs))) return false;
    pace.Start(ReceivePace::Phase::Head, timeout);
    ReadResponseHeaders();
    int32_t status = GetStatusCode();
    // 100 Continue (or another interim answer): the body is wanted. Anything
    // else answers the request, a closed connection included.
    return !(status >= 100 && status <= 199);
}

bool Http::AnswerArrivesWithin(int32_t ms) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    while (receiveBuffer.Empty() && !peerClosed) {
        int32_t left = ms - static_cast<int32_t>(ElapsedMs(start));
        if (left <= 0 || !connection.WaitUntilReadable(left)) return false;
        // Readable may mean records of TLS itself: only answer bytes count.
        left = std::max<int32_t>(ms - static_cast<int32_t>(ElapsedMs(start)), 1);
        connection.SetTimeout(left);
        Clock::time_point before = Clock::now();
        size_t got = 0;
        try {
            got = receiveBuffer.ReceiveFrom(connection, kReceivePiece);
        } catch (const SocketError&) {
            connection.SetTimeout(timeout);
            // Not the wait running out: a failure of its own.
            if (ElapsedMs(before) + kClockSlackMs < left) throw;
            return false;
        }
        connection.SetTimeout(timeout);
        if (got == 0)
            peerClosed = true;
        else
            responseStarted = true;
    }
    return true;
}

void Http::ReadHead() {
    if (GetStatusCode() == 100) ReadResponseHeaders();
    ParseHeaderLines(responseHead, responseHeaders);
    cookies.Store(responseHeaders);
}

bool Http::HasBody(const vx::Str& method) const {
    int32_t status = GetStatusCode();
    if (EqualNoCase(method, "head") || (status >= 100 && status <= 199) || status == 204 ||
        status == 304)
        return false;
    return !(status == 200 && EqualNoCase(method, "connect"));
}

bool Http::ShouldClose(const vx::Str& method) const {
    // A body announced and never sent leaves the server waiting for it.
    if (peerClosed || framingBroken || bodyWithheld) return true;
    const vx::Str* connectionHeader = FirstHeader("connection");
    if (connectionHeader != nullptr) {
        if (EqualNoCase(*connectionHeader, "keep-alive")) return false;
    } else if (GetHttpVersion() == 1.1) {
        return false;
    }
    return !(EqualNoCase(method, "connect") && GetStatusCode() == 200);
}

const vx::Str* Http::FirstHeader(const char* name) const {
    auto it = responseHeaders.lower_bound(name);
    return it == responseHeaders.end() || !EqualNoCase(it->first, name) ? nullptr : &it->second;
}

int32_t Http::GetStatusCode() const {
    if (statusCode == -1) statusCode = ParseStatusCode(responseHead);
    return statusCode;
}

vx::Str Http::GetReasonPhrase() const {
    return ParseReasonPhrase(responseHead);
}

double Http::GetHttpVersion() const {
    return ParseHttpVersion(responseHead);
}

bool Http::LoadPage(vx::Str& page) const {
    if (outputFile.empty()) {
        responseBody.CopyTo(page);
        return true;
    }
    // An empty body never created the file; that is an empty page, not an error.
    if (bodyBytes == 0 && !DirUtil::FileExists(outputFile)) {
        page.clear();
        return true;
    }
    return LoadFile(outputFile, page);
}

void Http::GetPage(vx::Str& page) const {
    if (!LoadPage(page))
        throw HttpError("Http::GetPage(1)::LoadFile - Error loading file - " + outputFile, 0);
}

void Http::TakePage(vx::Str& page) {
    if (outputFile.empty()) return responseBody.Take(page);
    GetPage(page);
}

vx::Str Http::GetPage() const {
    vx::Str page;
    if (!LoadPage(page))
        throw HttpError("Http::GetPage(2)::LoadFile - Error loading file - " + outputFile, 0);
    return page;
}

}  // namespace vxw
