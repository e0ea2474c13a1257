#include "core/log_priority.h"

namespace {

// First match wins: a failure in the settings file is an error, not a warning.
const struct {
    const char* fragment;
    LogPriority priority;
} kPriorities[] = {
    {"::catch", LogPriority::Error},               // a failure caught at a thread's edge
    {"::fault - ", LogPriority::Error},            // a processor fault that ends the program
    {" could not listen on ", LogPriority::Error}, // the report of a service that cannot listen
    {"No service could listen", LogPriority::Error},
    {"No service listens now", LogPriority::Error},
    {" - Error ", LogPriority::Error},             // "Place - Error doing something - ..."
    {"Config::LoadConfig::", LogPriority::Warning},  // a settings file mended by hand
    {"Config::SaveConfig::", LogPriority::Warning},
    {"vxw::RegistryKey::Create::", LogPriority::Warning},
    {"could not be read again", LogPriority::Warning},
    {"Too many sessions", LogPriority::Warning},
    {"after the grace time", LogPriority::Warning},
};

// Conversation lines (ExtraLogging) hold what a client or the service said,
// which may look like anything: they are notices whatever they contain.
bool IsConversation(const vx::Str& text) {
    size_t dash = text.find(" - ");
    vx::Str place = text.substr(0, dash);
    return place.size() > 8 && (place.compare(place.size() - 8, 8, "::Client") == 0 ||
                                place.compare(place.size() - 8, 8, "::Server") == 0);
}

}  // namespace

LogPriority PriorityOf(const vx::Str& text) {
    if (IsConversation(text)) return LogPriority::Notice;
    for (const auto& entry : kPriorities) {
        if (text.find(entry.fragment) != vx::Str::npos) return entry.priority;
    }
    return LogPriority::Notice;
}

vx::Str JournalLine(const vx::Str& text) {
    vx::Str line = "<" + std::to_string(static_cast<int>(PriorityOf(text))) + ">";
    // The journal reads one entry per line: a text with a line break in it
    // (a service's answer) stays one entry.
    for (char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    return line + "\n";
}
