#include "tools/httpmail/fault_plan.h"

#include <algorithm>
#include <iterator>

#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
struct ExchangeEntry {
    const char* name;
    Exchange exchange;
};
const ExchangeEntry kExchanges[] = {
    {"login", Exchange::Login},
    {"folders", Exchange::Folders},
    {"list", Exchange::List},
    {"get", Exchange::Get},
    {"move", Exchange::Move},
    {"post", Exchange::Post},
    {"proppatch", Exchange::Proppatch},
    {"copy", Exchange::Copy},
    {"delete", Exchange::Delete},
    {"put", Exchange::Put},
    {"mkcol", Exchange::Mkcol},
    {"folder-move", Exchange::FolderMove},
    {"folder-delete", Exchange::FolderDelete},
    {"any", Exchange::Any},
};

std::string ExchangeNames() {
    std::string names;
    for (const ExchangeEntry& e : kExchanges)
        names += (names.empty() ? "" : ", ") + std::string(e.name);
    return names;
}

enum class Arg { None, Optional, Required };
struct KindEntry {
    const char* name;
    FaultKind kind;
    bool replaces;
    Arg arg;
    unsigned defaultArg, minArg, maxArg;
};
const KindEntry kKinds[] = {
    {"refresh", FaultKind::Refresh, true, Arg::None, 0, 0, 0},
    {"redirect", FaultKind::Redirect, true, Arg::Optional, 302, 300, 399},
    {"drop", FaultKind::Drop, true, Arg::None, 0, 0, 0},
    {"drop-mid-body", FaultKind::DropMidBody, false, Arg::None, 0, 0, 0},
    {"slow", FaultKind::Slow, false, Arg::Required, 0, 1, 3600000},
    {"chunked", FaultKind::Chunked, false, Arg::Optional, 4096, 1, 1 << 24},
    {"close", FaultKind::Close, false, Arg::None, 0, 0, 0},
};

bool ParseKind(std::string_view text, FaultRule& rule, std::string& error) {
    const size_t eq = text.find('=');
    const std::string_view name = text.substr(0, eq);
    uint64_t number = 0;
    if (ParseDecimal(name, 599, number) && number >= 200 && eq == std::string_view::npos) {
        rule.kind = FaultKind::Status;
        rule.arg = unsigned(number);
        return true;
    }
    const auto it = std::find_if(std::begin(kKinds), std::end(kKinds),
                                 [&](const KindEntry& k) { return name == k.name; });
    if (it == std::end(kKinds)) {
        error = "unknown fault '" + std::string(name) + "'";
        return false;
    }
    rule.kind = it->kind;
    rule.arg = it->defaultArg;
    if (eq == std::string_view::npos) {
        if (it->arg != Arg::Required) return true;
        error =
            "fault '" + std::string(name) + "' needs a value, as in " + std::string(name) + "=N";
        return false;
    }
    if (it->arg == Arg::None || !ParseDecimal(text.substr(eq + 1), it->maxArg, number) ||
        number < it->minArg) {
        error = "bad value for fault '" + std::string(name) + "'";
        return false;
    }
    rule.arg = unsigned(number);
    return true;
}

bool Replaces(FaultKind kind) {
    if (kind == FaultKind::Status) return true;
    return std::find_if(std::begin(kKinds), std::end(kKinds),
                        [kind](const KindEntry& k) { return k.kind == kind; })
        ->replaces;
}

void Apply(const FaultRule& rule, AppliedFaults& faults) {
    switch (rule.kind) {
        case FaultKind::Slow:
            faults.delayMs += rule.arg;
            break;
        case FaultKind::Chunked:
            faults.chunkSize = rule.arg;
            break;
        case FaultKind::DropMidBody:
            faults.dropMidBody = true;
            break;
        case FaultKind::Close:
            faults.close = true;
            break;
        default:
            faults.replaced = true;
            faults.replacement = rule.kind;
            faults.replacementArg = rule.arg;
    }
    if (!faults.names.empty()) faults.names += ',';
    faults.names += rule.text;
}
}  // namespace

const char* ExchangeName(Exchange exchange) {
    for (const auto& e : kExchanges)
        if (e.exchange == exchange) return e.name;
    return "?";
}

bool FaultPlan::ParseRule(std::string_view spec, FaultRule& out, std::string& error) {
    out = FaultRule{};
    out.text = std::string(spec);
    const size_t c1 = spec.find(':');
    if (c1 == std::string_view::npos) {
        error = "a fault is written EXCHANGE[#FROM]:KIND[=VALUE][:COUNT]";
        return false;
    }
    std::string_view exchange = spec.substr(0, c1);
    const size_t hash = exchange.find('#');
    uint64_t number = 0;
    if (hash != std::string_view::npos) {
        if (!ParseDecimal(exchange.substr(hash + 1), 1000000, number) || number == 0) {
            error = "bad request number after '#'";
            return false;
        }
        out.from = unsigned(number);
        exchange = exchange.substr(0, hash);
    }
    const auto it = std::find_if(std::begin(kExchanges), std::end(kExchanges),
                                 [&](const ExchangeEntry& e) { return exchange == e.name; });
    if (it == std::end(kExchanges)) {
        error = "unknown exchange '" + std::string(exchange) + "' (" + ExchangeNames() + ")";
        return false;
    }
    out.exchange = it->exchange;
    const std::string_view rest = spec.substr(c1 + 1);
    const size_t c2 = rest.find(':');
    if (!ParseKind(rest.substr(0, c2), out, error)) return false;
    if (c2 == std::string_view::npos) return true;
    const std::string_view count = rest.substr(c2 + 1);
    if (count == "always") {
        out.always = true;
        return true;
    }
    if (!ParseDecimal(count, 1000000, number) || number == 0) {
        error = "bad count '" + std::string(count) + "' (a number from 1, or always)";
        return false;
    }
    out.count = unsigned(number);
    return true;
}

void FaultPlan::Add(const FaultRule& rule) {
    std::lock_guard<std::mutex> guard(lock);
    rules.push_back(rule);
}

void FaultPlan::Replace(std::vector<FaultRule> newRules) {
    std::lock_guard<std::mutex> guard(lock);
    rules = std::move(newRules);
}

AppliedFaults FaultPlan::Take(Exchange exchange) {
    std::lock_guard<std::mutex> guard(lock);
    AppliedFaults faults;
    for (FaultRule& rule : rules) {
        if (rule.exchange != Exchange::Any && rule.exchange != exchange) continue;
        ++rule.seen;
        const bool due = rule.seen >= rule.from && (rule.always || rule.applied < rule.count);
        // One answer can take the place of the real one; a second waits its turn.
        if (!due || (Replaces(rule.kind) && faults.replaced)) continue;
        ++rule.applied;
        Apply(rule, faults);
    }
    return faults;
}

std::string FaultPlan::Describe() const {
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    for (const FaultRule& rule : rules)
        out += rule.text + " matched=" + std::to_string(rule.seen) +
               " applied=" + std::to_string(rule.applied) + "\r\n";
    return out;
}

}  // namespace httpmail
