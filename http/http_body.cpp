// Reading a response body: sized, chunked (RFC 7230, 4.1) or delimited by
// the server closing, into memory or appended piece by piece to a file.
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

// The hexadecimal number at the start of line; extensions after the digits
// are ignored and no digits give 0. Saturates instead of overflowing.
uint64_t ReadChunkSize(const char* line, size_t length) {
    uint64_t size = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = line[i];
        int digit = c >= '0' && c <= '9'                     ? c - '0'
                    : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                             : -1;
        if (digit < 0) break;
        size = size > (std::numeric_limits<uint64_t>::max() >> 4)
                   ? std::numeric_limits<uint64_t>::max()
                   : size << 4 | uint64_t(digit);
    }
    return size;
}

}  // namespace

void Http::PutBody(const char* data, size_t count, const char* errorTag) {
    if (count == 0) return;
    if (outputFile.empty()) {
        responseBody.Append(data, count);
    } else if (!AppendToFile(outputFile, vx::Str(data, count))) {
        throw HttpError(errorTag + std::to_string(count) + " - " + outputFile, 0);
    }
    bodyBytes += static_cast<int64_t>(count);
}

void Http::ReadBody() {
    const vx::Str* encoding = FirstHeader("transfer-encoding");
    if (encoding != nullptr && EqualNoCase(*encoding, "chunked")) {
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
    if (outputFile.empty() && !framingBroken) responseBody.Expect(static_cast<uint64_t>(length));
    PutBody(receiveBuffer.Data(), receiveBuffer.Size(), kAppendSized1);
    receiveBuffer.Clear();
    int64_t remaining = length - bodyBytes;
    while (remaining > 0) {
        size_t got = ReceiveMore(static_cast<size_t>(std::min<int64_t>(remaining, kReceivePiece)));
        if (got == 0) break;
        PutBody(receiveBuffer.Data(), got, kAppendSized2);
        receiveBuffer.Clear();
        remaining -= static_cast<int64_t>(got);
    }
}

void Http::ReadUntilClose() {
    do {
        PutBody(receiveBuffer.Data(), receiveBuffer.Size(), kAppendUntilClose);
        receiveBuffer.Clear();
    } while (ReceiveMore(kReceivePiece) > 0);
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
    uint64_t size = ReadChunkSize(receiveBuffer.Data(), lineEnd);
    receiveBuffer.Consume(lineEnd + 2);
    if (size == 0) {
        SkipTrailer();
        return false;
    }
    ReadChunkData(size);
    return true;
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
    // leaving them would make them the start of the next response.
    for (;;) {
        size_t end = receiveBuffer.Find("\r\n");
        if (end == ResponseBuffer::npos) {
            if (receiveBuffer.Size() <= kMaxChunkLine && ReceiveMore(kReceivePiece) > 0) continue;
            framingBroken = true;
            return;
        }
        receiveBuffer.Consume(end + 2);
        if (end == 0) return;
    }
}

}  // namespace vxw
