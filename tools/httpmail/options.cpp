#include "tools/httpmail/options.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
using Setter = std::function<bool(Options&, const std::string&, std::string&)>;

struct Switch {
    const char* name;
    bool takesValue;
    Setter set;
};

bool Number(const std::string& text, uint64_t min, uint64_t max, uint64_t& out,
            std::string& error) {
    if (ParseDecimal(text, max, out) && out >= min) return true;
    error =
        "'" + text + "' is not a number from " + std::to_string(min) + " to " + std::to_string(max);
    return false;
}

template <typename T>
Setter NumberInto(T Options::*field, uint64_t min, uint64_t max) {
    return [=](Options& o, const std::string& v, std::string& e) {
        uint64_t n = 0;
        if (!Number(v, min, max, n, e)) return false;
        o.*field = T(n);
        return true;
    };
}

Setter TextInto(std::string Options::*field) {
    return [=](Options& o, const std::string& v, std::string&) {
        o.*field = v;
        return true;
    };
}

Setter FlagInto(bool Options::*field) {
    return [=](Options& o, const std::string&, std::string&) {
        o.*field = true;
        return true;
    };
}

Setter ClearInto(bool Options::*field) {
    return [=](Options& o, const std::string&, std::string&) {
        o.*field = false;
        return true;
    };
}

bool SetAuth(Options& o, const std::string& v, std::string& e) {
    const struct {
        const char* name;
        unsigned schemes;
    } kinds[] = {{"basic", kBasic}, {"digest", kDigest}, {"any", kAnyScheme}};
    for (const auto& k : kinds)
        if (v == k.name) {
            o.authOverride = k.schemes;
            return true;
        }
    e = "--auth takes basic, digest or any";
    return false;
}

bool AddFault(Options& o, const std::string& v, std::string& e) {
    FaultRule rule;
    if (!FaultPlan::ParseRule(v, rule, e)) return false;
    o.faults.push_back(rule);
    return true;
}

bool SetChunked(Options& o, const std::string& v, std::string& e) {
    return AddFault(o, "any:chunked" + (v.empty() ? "" : "=" + v) + ":always", e);
}

bool SetFill(Options& o, const std::string& v, std::string& e) {
    const size_t x = v.find('x');
    uint64_t count = 0, size = o.fillSize;
    if (!Number(v.substr(0, x), 1, 1000000, count, e)) return false;
    if (x != std::string::npos && !Number(v.substr(x + 1), 200, 64u << 20, size, e)) return false;
    o.fillCount = count;
    o.fillSize = size;
    return true;
}

bool SetProxyAuth(Options& o, const std::string& v, std::string& e) {
    if (v.find(':') == std::string::npos) {
        e = "--proxy-auth takes USER:PASSWORD";
        return false;
    }
    o.proxyAuth = v;
    return true;
}

const Switch kSwitches[] = {
    {"--port", true, NumberInto(&Options::port, 0, 65535)},
    {"--bind", true, TextInto(&Options::bind)},
    {"--mail-dir", true, TextInto(&Options::mailDir)},
    {"--write-back", false, FlagInto(&Options::writeBack)},
    {"--state-dir", true, TextInto(&Options::stateDir)},
    {"--public-host", true, TextInto(&Options::publicHost)},
    {"--auth", true, SetAuth},
    {"--proxy-auth", true, SetProxyAuth},
    {"--fault", true, AddFault},
    {"--chunked", false, SetChunked},
    {"--copy-to-sent", false, FlagInto(&Options::copyToSent)},
    {"--copy-and-delete", false, FlagInto(&Options::copyAndDelete)},
    {"--no-header-properties", false, ClearInto(&Options::headerProperties)},
    {"--no-put", false, ClearInto(&Options::put)},
    {"--no-folder-changes", false, ClearInto(&Options::folderChanges)},
    {"--fresh-nonce", false, FlagInto(&Options::freshNonce)},
    {"--latency", true, NumberInto(&Options::latencyMs, 0, 600000)},
    {"--fill", true, SetFill},
    {"--idle-timeout", true, NumberInto(&Options::idleSeconds, 1, 86400)},
    {"--max-body", true, NumberInto(&Options::maxBody, 1024, uint64_t(1) << 32)},
    {"--max-connections", true, NumberInto(&Options::maxConnections, 1, 10000)},
    {"--verbose", false, FlagInto(&Options::verbose)},
    {"--export-samples", true, TextInto(&Options::exportSamples)},
    {"--help", false, FlagInto(&Options::help)},
};

const Switch* FindSwitch(const std::string& name) {
    const std::string full = name == "-h" ? "--help" : name == "-v" ? "--verbose" : name;
    const auto it = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                 [&](const Switch& s) { return full == s.name; });
    return it == std::end(kSwitches) ? nullptr : it;
}
}  // namespace

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        const size_t eq = arg.find('=');
        const bool inlineValue = arg.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const Switch* sw = FindSwitch(arg);
        if (!sw) {
            error = "unknown switch '" + arg + "' (see --help)";
            return false;
        }
        // --chunked takes its size only in the --chunked=SIZE form.
        if (sw->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!sw->takesValue && inlineValue && std::string(sw->name) != "--chunked") {
            error = arg + " takes no value";
            return false;
        }
        if (!sw->set(out, value, error)) {
            error = arg + ": " + error;
            return false;
        }
    }
    if (out.writeBack && out.mailDir.empty()) {
        error = "--write-back needs --mail-dir";
        return false;
    }
    return true;
}

}  // namespace httpmail
