#pragma once
// Sequence sets and UID sets (RFC 3501, 9: sequence-set): "1:4,7,9:*". A set
// is read once and then matched against a mailbox, where "*" stands for the
// largest number in use (the last message's sequence number or UID) and a
// range may be written either way round.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class SequenceSet {
public:
    // False for text that is not a sequence set (also for 0, which no
    // message has, and for numbers beyond 2^32 - 1).
    bool Parse(std::string_view text);

    // Whether number is in the set when "*" is largest. An empty mailbox has
    // largest 0, and then nothing matches.
    bool Contains(uint32_t number, uint32_t largest) const;
    // The set as sorted, merged ranges of numbers from 1 to largest, with "*"
    // read as largest.
    std::vector<std::pair<uint32_t, uint32_t>> Resolve(uint32_t largest) const;
    // The largest number the set names outright (not through "*"); for
    // telling a client that a sequence number is beyond the mailbox.
    uint32_t HighestExplicit() const;

private:
    static constexpr uint32_t kStar = 0;  // "*" (0 is never a valid number)
    struct Range {
        uint32_t first;
        uint32_t last;
    };
    std::vector<Range> ranges;
};
