#pragma once
// Faults the service puts into chosen exchanges, so tests can see how a client
// copes with a busy, redirecting, slow or failing service.
//
// A rule is written EXCHANGE[#FROM]:KIND[=ARG][:COUNT]. It applies to the
// FROM-th request of that exchange (counted from 1) and the COUNT - 1 after it
// ("always": every one from FROM on). Only authenticated requests count.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace httpmail {

enum class Exchange {
    Login,
    Folders,
    List,
    Get,
    Move,
    Post,
    Proppatch,
    Copy,
    Delete,
    Put,
    Mkcol,
    FolderMove,
    FolderDelete,
    Any
};

enum class FaultKind {
    Status,       // answer with the status ARG instead of the real answer
    Refresh,      // answer 200 with a meta-refresh page pointing at the same URL
    Redirect,     // answer 302 (or ARG) with a Location of the same URL
    Drop,         // close the connection without an answer
    DropMidBody,  // send the head and half the body, then close
    Slow,         // wait ARG milliseconds before the answer
    Chunked,      // send the body in chunks of ARG bytes
    Close,        // close the connection after the answer
};

struct FaultRule {
    Exchange exchange = Exchange::Any;
    unsigned from = 1;
    FaultKind kind = FaultKind::Status;
    unsigned arg = 0;
    unsigned count = 1;
    bool always = false;
    std::string text;   // the rule as written
    unsigned seen = 0;  // matching requests so far
    unsigned applied = 0;
};

// What the faults of one request ask for; empty when none applies.
struct AppliedFaults {
    bool replaced = false;  // `replacement` and `replacementArg` take the real answer's place
    FaultKind replacement = FaultKind::Status;
    unsigned replacementArg = 0;
    unsigned delayMs = 0;
    size_t chunkSize = 0;  // 0: a sized body
    bool dropMidBody = false;
    bool close = false;
    std::string names;  // the applied rules, for the journal

    bool Any() const { return !names.empty(); }
};

const char* ExchangeName(Exchange exchange);

class FaultPlan {
public:
    // Reads one rule; on failure `error` says why.
    static bool ParseRule(std::string_view spec, FaultRule& out, std::string& error);

    void Add(const FaultRule& rule);
    void Replace(std::vector<FaultRule> rules);
    // Counts the request against every rule and returns the faults it gets.
    AppliedFaults Take(Exchange exchange);
    // One line per rule: the rule, then how often it matched and applied.
    std::string Describe() const;

private:
    mutable std::mutex lock;
    std::vector<FaultRule> rules;
};

}  // namespace httpmail
