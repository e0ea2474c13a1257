#include "session/session_report.h"

#include <cstdio>
#include <string>

namespace vxw {
namespace {

// A client may name an account of any length with any bytes in it.
constexpr size_t kMaxAccountShown = 100;

thread_local SessionReport* current = nullptr;

using Ending = SessionReport::Ending;

// What the end line says of each ending, before " after " and the time; the
// ordinary and the failed end use the session's own word when it has one.
const struct {
    Ending ending;
    const char* text;
} kEndings[] = {
    {Ending::Normal, ""},
    {Ending::ClientClosed, "closed by the client"},
    {Ending::ClientTimedOut, "timed out waiting for the client"},
    {Ending::ShutDown, "closed by a shut-down"},
    {Ending::Aborted, "aborted by a stop"},
    {Ending::Failed, "ended on an error"},
};

const char* EndingText(Ending ending) {
    for (const auto& entry : kEndings)
        if (entry.ending == ending) return entry.text;
    return "";
}

}  // namespace

SessionReport::SessionReport(const char* protocol)
    : protocol(protocol), started(std::chrono::steady_clock::now()) {
    MakeContext();
}

SessionReport* SessionReport::Current() {
    return current;
}

SessionReport::Scope::Scope(SessionReport& report) : previous(current), context(report.context) {
    current = &report;
}

SessionReport::Scope::~Scope() {
    current = previous;
}

void SessionReport::SetAccount(const vx::Str& name) {
    account.clear();
    for (char c : name.substr(0, kMaxAccountShown))
        account += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    if (name.size() > kMaxAccountShown) account += "\xE2\x80\xA6";  // an ellipsis
    MakeContext();
}

void SessionReport::MakeContext() {
    // Assigned in place: the log context holds on to this string.
    context = account.empty() ? vx::Str(protocol) : vx::Str(protocol) + " " + account;
}

void SessionReport::SetActivity(const vx::Str& text) {
    activity = text;
}

void SessionReport::EndAs(const vx::Str& text) {
    how = text;
    ended = true;
    ending = Ending::Normal;
}

void SessionReport::FailAs(const vx::Str& text) {
    if (!ended) how = text;
}

void SessionReport::NoteClient(Ending clientEnding) {
    if (clientNoted || ended) return;
    clientNoted = true;
    ending = clientEnding;
}

void SessionReport::NoteEnding(Ending seen) {
    // The program's own stop explains whatever failed on the client's side
    // after it.
    bool stopped = seen == Ending::ShutDown || seen == Ending::Aborted;
    if (ended || (clientNoted && !stopped)) return;
    ending = seen;
}

vx::Str SessionReport::EndLine() const {
    int64_t elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    vx::Str word = EndingText(ending);
    if ((ending == Ending::Normal || ending == Ending::Failed) && !how.empty()) word = how;
    vx::Str line = context;
    if (!activity.empty()) line += " - " + activity;
    line += " - " + (word.empty() ? Duration(elapsed) : word + " after " + Duration(elapsed));
    return line;
}

vx::Str SessionReport::Duration(int64_t ms) {
    char text[48];
    if (ms < 10000) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000);
    } else if (ms < 60000) {
        std::snprintf(text, sizeof text, "%d s", static_cast<int>(ms / 1000));
    } else if (ms < 3600000) {
        std::snprintf(text, sizeof text, "%d min", static_cast<int>(ms / 60000));
    } else {
        int64_t minutes = ms / 60000;
        int hours = static_cast<int>(minutes / 60), rest = static_cast<int>(minutes % 60);
        if (rest == 0)
            std::snprintf(text, sizeof text, "%d h", hours);
        else
            std::snprintf(text, sizeof text, "%d h %d min", hours, rest);
    }
    return text;
}

}  // namespace vxw
