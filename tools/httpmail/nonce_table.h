#pragma once
// The Digest nonces handed out lately, with the highest nonce count each
// account has used with them: a nonce serves many requests, each with a
// higher count, but an answer sent once is never taken again (RFC 7616 3.4).
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace httpmail {

class NonceTable {
public:
    enum class Use {
        Accepted,  // a count higher than any before on this account
        Replayed,  // a count used already, or lower
        Unknown,   // never handed out, or forgotten since
        Reused,    // used before, and each nonce serves one request only
    };

    // Remembers the `capacity` nonces handed out or used most lately.
    explicit NonceTable(size_t capacity);
    void Issue(const std::string& nonce);
    Use Take(const std::string& nonce, const std::string& account, uint32_t count, bool singleUse);

private:
    struct Entry {
        std::list<std::string>::iterator age;
        std::vector<std::pair<std::string, uint32_t>> counts;  // account, highest count
    };
    void Touch(Entry& entry);

    size_t capacity;
    std::mutex lock;
    std::list<std::string> order;  // the latest first
    std::unordered_map<std::string, Entry> entries;
};

// A nonce count: 1 to 8 hexadecimal digits (clients write "00000001" or "01").
bool ParseNonceCount(std::string_view text, uint32_t& count);

}  // namespace httpmail
