#include "tools/httpmail/nonce_table.h"

#include <algorithm>

namespace httpmail {

NonceTable::NonceTable(size_t size) : capacity(size) {}

void NonceTable::Issue(const std::string& nonce) {
    std::lock_guard<std::mutex> guard(lock);
    if (entries.count(nonce)) return;
    order.push_front(nonce);
    entries[nonce].age = order.begin();
    while (entries.size() > capacity) {
        entries.erase(order.back());
        order.pop_back();
    }
}

void NonceTable::Touch(Entry& entry) {
    order.splice(order.begin(), order, entry.age);
}

NonceTable::Use NonceTable::Take(const std::string& nonce, const std::string& account,
                                 uint32_t count, bool singleUse) {
    std::lock_guard<std::mutex> guard(lock);
    const auto found = entries.find(nonce);
    if (found == entries.end()) return Use::Unknown;
    Entry& entry = found->second;
    if (singleUse && !entry.counts.empty()) return Use::Reused;
    const auto highest = std::find_if(entry.counts.begin(), entry.counts.end(),
                                      [&](const auto& c) { return c.first == account; });
    const bool seen = highest != entry.counts.end();
    if (count <= (seen ? highest->second : 0)) return Use::Replayed;
    if (seen)
        highest->second = count;
    else
        entry.counts.emplace_back(account, count);
    Touch(entry);
    return Use::Accepted;
}

bool ParseNonceCount(std::string_view text, uint32_t& count) {
    if (text.empty() || text.size() > 8) return false;
    count = 0;
    for (char c : text) {
        const int v = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (v < 0) return false;
        count = count * 16 + uint32_t(v);
    }
    return true;
}

}  // namespace httpmail
