// Reading a response body: sized, chunked (RFC 7230, 4.1) or delimited by
// the server closing, into memory, into a sink piece by piece as it arrives,
// or appended piece by piece to a file.
#include <algorithm>
#include <limits>

#include "core/exception.h"
#include "core/file_util.h"
#include "http/http.h"
#include "http/http_text.h"

namespace vxw {
namespace {

// Chunk sizes beyond this are refused: no sane server sends them, and they
// could not be counted safely.
constexpr uint64_t kMaxChunkSize = 0x7FFFFFFF;
// A chunk-size line (with its extensions) or trailer line longer than this is
// refused rather than buffered without end.
constexpr size_t kMaxChunkLine = 64 * 1024;

const char kAppendSized1[] = "Http::ReadBody::AppendToFile(1) - Error appending to file - ";
const char kAppendSized2[] = "Http::ReadBody::AppendToFile(2) - Error appending to file - ";
const char kAppendUntilClose[] = "Http::ReadBody::AppendToFile(3) - Error appending to file - ";
const char kAppendChunk[] = "Http::ReadChunk::AppendToFile - Error appending to file - ";
const char kLengthDelimiter[] =
    "Http::ReadChunk::LengthDel - Couldn't find chunk length delimiter - ";

const char kUnreadableSize[] = "Http::ReadChunk::Size - The chunk size cannot be read - ";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The chunk size at the start of line, read as sscanf's "%x" reads it:
// leading blanks, then an optional "0x" or "0X", then hexadecimal digits;
// extensions after the digits are ignored. False when there are no digits.
// Saturates instead of overflowing.
bool ReadChunkSize(const char* line, size_t length, uint64_t& size) {
    size_t i = 0;
    while (i < length && IsSpace(line[i])) ++i;
    if (i + 2 < length && line[i] == '0' && (line[i + 1] | 0x20) == 'x' &&
        HexDigit(line[i + 2]) >= 0)
        i += 2;
    if (i == length || HexDigit(line[i]) < 0) return false;
    size = 0;
    for (int digit; i < length && (digit = HexDigit(line[i])) >= 0; ++i) {
        size = size > (std::numeric_limits<uint64_t>::max() >> 4)
                   ? std::numeric_limits<uint64_t>::max()
                   : size << 4 | uint64_t(digit);
    }
    return true;
}

// Whether the last coding of a Transfer-Encoding list is chunked.
bool ChunkedLast(const vx::Str& codings) {
    size_t start = codings.rfind(',');
    start = start == vx::Str::npos ? 0 : start + 1;
    size_t end = codings.size();
    while (start < end && IsSpace(codings[start])) ++start;
    while (end > start && IsSpace(codings[end - 1])) --end;
    return EqualNoCase(codings.substr(start, end - start), "chunked");
}

}  // namespace

void Http::PutBody(const char* data, size_t count, const char* errorTag) {
    if (count == 0 || sinkStopped) return;
    if (sink != nullptr) {
        sinkStopped = !sink->Put(data, count);
    } else if (!outputFile.empty()) {
        if (!AppendToFile(outputFile, vx::Str(data, count)))
            throw HttpError(errorTag + std::to_string(count) + " - " + outputFile, 0);
    } else {
        if (responseBody.Size() + count > kMaxBodyInMemory)
            throw HttpError("Http::ReadBody::Size - The body exceeds " +
                                std::to_string(kMaxBodyInMemory) + " bytes - " + host,
                            0);
        responseBody.Append(data, count);
    }
    bodyBytes += static_cast<int64_t>(count);
}

void Http::ReadBody(BodySink* target) {
    sink = target;
    pace.Start(ReceivePace::Phase::Body, timeout, sink == nullptr && outputFile.empty());
    // RFC 9112 6.3: a Transfer-Encoding overrides any Content-Length (a proxy
    // may pass both on); chunked as the last coding frames the body, any
    // other last coding leaves its end to the close.
    const vx::Str* encoding = FirstHeader("transfer-encoding");
    if (encoding != nullptr) {
        // Sent with both, the message was framed by a peer that may disagree
        // with us about where it ends: the connection is not reused.
        if (FirstHeader("content-length") != nullptr) framingBroken = true;
        if (!ChunkedLast(*encoding)) return ReadUntilClose();
        while (ReadChunk()) {
        }
        return;
    }
    const vx::Str* length = FirstHeader("content-length");
    if (length == nullptr) return ReadUntilClose();
    bool digits = false;
    int64_t declared = ReadDecimal(*length, std::numeric_limits<int64_t>::min(),
                                   std::numeric_limits<int64_t>::max(), &digits);
    // A length that is no number or negative leaves the end of the body
    // unknown: take what is there and do not reuse the connection.
    if (!digits || declared < 0) framingBroken = true;
    ReadSizedBody(declared);
}

void Http::ReadSizedBody(int64_t length) {
    if (sink == nullptr && outputFile.empty() && !framingBroken)
        responseBody.Expect(static_cast<uint64_t>(length));
    PutBody(receiveBuffer.Data(), receiveBuffer.Size(), kAppendSized1);
    receiveBuffer.Clear();
    int64_t remaining = length - bodyBytes;
    while (remaining > 0 && !Stopped()) {
        size_t got = ReceiveMore(static_cast<size_t>(std::min<int64_t>(remaining, kReceivePiece)));
        if (got == 0) {
            bodyCutShort = true;
            break;
        }
        PutBody(receiveBuffer.Data(), got, kAppendSized2);
        receiveBuffer.Clear();
        remaining -= static_cast<int64_t>(got);
    }
    if (Stopped()) DrainOrDrop(remaining);
}

void Http::DrainOrDrop(int64_t remaining) {
    // Reading a large rest would cost more than a new connection.
    if (remaining > kDrainLimit) {
        framingBroken = true;
        return;
    }
    while (remaining > 0) {
        size_t got = ReceiveMore(static_cast<size_t>(remaining));
        if (got == 0) return;
        receiveBuffer.Clear();
        remaining -= static_cast<int64_t>(got);
    }
}

void Http::ReadUntilClose() {
    // Such a connection ends with its body anyway.
    framingBroken = true;
    do {
        PutBody(receiveBuffer.Data(), receiveBuffer.Size(), kAppendUntilClose);
        receiveBuffer.Clear();
    } while (!Stopped() && ReceiveMore(kReceivePiece) > 0);
}

size_t Http::FindLineEnd(const char* errorText) {
    for (;;) {
        size_t end = receiveBuffer.Find("\r\n");
        if (end != ResponseBuffer::npos) return end;
        if (receiveBuffer.Size() > kMaxChunkLine || ReceiveMore(kReceivePiece) == 0)
            throw HttpError(errorText + host, 0);
    }
}

bool Http::ReadChunk() {
    size_t lineEnd = FindLineEnd(kLengthDelimiter);
    uint64_t size = 0;
    // Taken as 0, an unreadable size would end the body silently: a message
    // cut to nothing would look whole.
    if (!ReadChunkSize(receiveBuffer.Data(), lineEnd, size))
        throw HttpError(kUnreadableSize + host, 0);
    receiveBuffer.Consume(lineEnd + 2);
    if (size == 0) {
        SkipTrailer();
        return false;
    }
    ReadChunkData(size);
    if (!Stopped()) return true;
    // The rest of a chunked body has no length to read away by.
    framingBroken = true;
    return false;
}

void Http::ReadChunkData(uint64_t size) {
    // The data goes on as it arrives, so a large chunk never has to fit in memory.
    uint64_t left = size;
    for (;;) {
        if (size <= kMaxChunkSize) {
            size_t take = static_cast<size_t>(std::min<uint64_t>(left, receiveBuffer.Size()));
            PutBody(receiveBuffer.Data(), take, kAppendChunk);
            receiveBuffer.Consume(take);
            left -= take;
            if (Stopped()) return;
            // The CR LF behind the data is skipped unexamined.
            if (left == 0 && receiveBuffer.Size() >= 2) return receiveBuffer.Consume(2);
            if (ReceiveMore(kReceivePiece) > 0) continue;
        }
        throw HttpError("Http::ReadChunk::ChunkSize - Expected a larger chunk than we found - " +
                            host + " " + std::to_string(size) + " " +
                            std::to_string(size - left + receiveBuffer.Size()),
                        0);
    }
}

void Http::SkipTrailer() {
    // Trailer lines up to the empty line that ends the body (RFC 7230, 4.1.2);
    // leaving them would make them the start of the next response. The body
    // is complete already: a server that is slow to end the trailer costs
    // only its connection, not the request.
    for (;;) {
        size_t end = receiveBuffer.Find("\r\n");
        if (end == ResponseBuffer::npos) {
            if (receiveBuffer.Size() <= kMaxChunkLine && ReceivePromptly()) continue;
            framingBroken = true;
            return;
        }
        receiveBuffer.Consume(end + 2);
        if (end == 0) return;
    }
}

}  // namespace vxw
