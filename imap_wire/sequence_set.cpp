#include "imap_wire/sequence_set.h"

#include <algorithm>

namespace {

// "*" or a number from 1 to 2^32 - 1; value 0 stands for "*".
bool ParseNumber(std::string_view text, uint32_t& value) {
    if (text == "*") {
        value = 0;
        return true;
    }
    if (text.empty() || text.size() > 10 || text[0] == '0') return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > UINT32_MAX) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

bool SequenceSet::Parse(std::string_view text) {
    ranges.clear();
    if (text.empty()) return false;
    for (;;) {
        size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        size_t colon = item.find(':');
        Range range{};
        if (!ParseNumber(item.substr(0, colon), range.first)) return false;
        range.last = range.first;
        if (colon != std::string_view::npos && !ParseNumber(item.substr(colon + 1), range.last))
            return false;
        ranges.push_back(range);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool SequenceSet::Contains(uint32_t number, uint32_t largest) const {
    if (largest == 0) return false;
    for (const Range& range : ranges) {
        uint32_t a = range.first == kStar ? largest : range.first;
        uint32_t b = range.last == kStar ? largest : range.last;
        if (number >= std::min(a, b) && number <= std::max(a, b)) return true;
    }
    return false;
}

std::vector<std::pair<uint32_t, uint32_t>> SequenceSet::Resolve(uint32_t largest) const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    if (largest == 0) return out;
    for (const Range& range : ranges) {
        uint32_t a = range.first == kStar ? largest : range.first;
        uint32_t b = range.last == kStar ? largest : range.last;
        if (a > b) std::swap(a, b);
        if (a > largest) continue;
        out.emplace_back(a, std::min(b, largest));
    }
    std::sort(out.begin(), out.end());
    std::vector<std::pair<uint32_t, uint32_t>> merged;
    for (const auto& range : out) {
        if (!merged.empty() && range.first <= merged.back().second + uint64_t{1})
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    return merged;
}

uint32_t SequenceSet::HighestExplicit() const {
    uint32_t highest = 0;
    for (const Range& range : ranges) highest = std::max({highest, range.first, range.last});
    return highest;
}
