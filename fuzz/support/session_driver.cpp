#include "fuzz/support/session_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "core/exception.h"
#include "core/file_util.h"
#include "core/log.h"
#include "fuzz/support/socket_pair.h"
#include "text/ascii.h"

namespace fuzz_support {

namespace {

constexpr size_t kKeptReplies = 4 << 20;

// Pieces of text between the separators.
std::vector<vx::Str> Split(const vx::Str& text, const vx::Str& separator) {
    std::vector<vx::Str> pieces;
    size_t start = 0;
    for (size_t end = text.find(separator); end != vx::Str::npos;
         start = end + separator.size(), end = text.find(separator, start))
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

std::vector<vx::Str> LogTexts() {
    vx::Str log;
    LoadFile(LogFilePath(), log);
    std::vector<vx::Str> texts;
    for (const vx::Str& line : Split(log, kLogLineEnd)) {
        size_t stamp = line.find("\t-\t");
        if (stamp != vx::Str::npos) texts.push_back(line.substr(stamp + 3));
    }
    return texts;
}

}  // namespace

Config::Values SessionSettings() {
    Config::Values values;
    values.address = "127.0.0.1";
    values.timeout = 1;
    values.delay = 0;
    values.extraLogging = true;
    return values;
}

void FailChosen(testing_support::MemoryService& service, uint8_t chosen,
                const testing_support::MemoryService::Operation* operations, size_t count) {
    for (size_t i = 0; i < count && i < 8; ++i) {
        if (chosen & (1u << i)) service.FailNext(operations[i], "Service failure");
    }
}

SessionRecord DriveSession(const vx::Str& clientBytes,
                           const std::function<void(vxw::SocketHandle)>& session) {
    std::remove(LogFilePath().c_str());
    SocketPair pair;
    SessionRecord record;
    // What fits the socket's buffer (every input of the fuzzers' length) is
    // there before the session starts, with the end of the stream, so the
    // session reads it in the same pieces on every run and the coverage the
    // fuzzer steers by does not depend on which thread ran first.
    const size_t upFront = pair.WriteWithoutWaiting(clientBytes.data(), clientBytes.size());
    const bool whole = upFront == clientBytes.size();
    if (whole) pair.WriteAndClose(nullptr, 0);
    std::thread client([&] {
        if (!whole) pair.WriteAndClose(clientBytes.data() + upFront, clientBytes.size() - upFront);
        record.replies = pair.Drain(kKeptReplies);
    });
    try {
        session(pair.TakeInner());
    } catch (const vx::Exception&) {
        // The session ended early, as it may.
    } catch (...) {
        client.join();
        throw;
    }
    client.join();
    record.logTexts = LogTexts();
    record.clientLines = Split(clientBytes, "\r\n");
    return record;
}

bool HoldsWord(const vx::Str& text, const char* word) {
    const size_t length = std::strlen(word);
    auto found = std::search(text.begin(), text.end(), word, word + length, [](char a, char b) {
        return vx::Ascii::ToLower(a) == vx::Ascii::ToLower(b);
    });
    return found != text.end();
}

bool StartsWithWord(const vx::Str& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return text.size() >= length && vx::Ascii::EqualNoCase(text.substr(0, length), prefix);
}

bool Contains(const std::vector<vx::Str>& texts, const vx::Str& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::vector<vx::Str> LoggedAfter(const std::vector<vx::Str>& texts, const vx::Str& prefix) {
    std::vector<vx::Str> found;
    for (const vx::Str& text : texts) {
        if (text.compare(0, prefix.size(), prefix) == 0) found.push_back(text.substr(prefix.size()));
    }
    return found;
}

bool ShowsSecret(const vx::Str& logged, const vx::Str& secret, const vx::Str& line,
                 const vx::Str& masked) {
    const size_t kTellable = 6;
    // The log joins the pieces between bare CR and LF with a tab, so a secret
    // holding a tab may also be spelt out by the pieces in front of it; and a
    // secret that holds the mask's own stars could be the mask followed by the
    // next piece.
    vx::Str joined(line);
    std::replace_if(joined.begin(), joined.end(), [](char c) { return c == '\r' || c == '\n'; },
                    '\t');
    if (secret.size() < kTellable || joined.find(secret) != joined.rfind(secret) ||
        masked.find(secret) != vx::Str::npos || secret.find("****") != vx::Str::npos)
        return false;
    // The mask is no client bytes: a secret must not be found in the mask
    // ("PASS ****") joined to a piece the same line spelt before it, so only
    // the stretches between masks are searched.
    std::vector<vx::Str> stretches = {logged};
    for (const vx::Str& mask : {masked, vx::Str("****")}) {
        std::vector<vx::Str> split;
        for (const vx::Str& stretch : stretches) {
            std::vector<vx::Str> pieces = mask.empty() ? std::vector<vx::Str>{stretch}
                                                       : Split(stretch, mask);
            split.insert(split.end(), pieces.begin(), pieces.end());
        }
        stretches.swap(split);
    }
    for (const vx::Str& stretch : stretches)
        if (stretch.find(secret) != vx::Str::npos) return true;
    return false;
}

std::vector<vx::Str> PiecesBetweenBreaks(const vx::Str& line) {
    std::vector<vx::Str> pieces;
    size_t start = 0;
    for (size_t end = line.find_first_of("\r\n"); end != vx::Str::npos;
         start = end + 1, end = line.find_first_of("\r\n", start))
        pieces.push_back(line.substr(start, end - start));
    pieces.push_back(line.substr(start));
    return pieces;
}

}  // namespace fuzz_support
