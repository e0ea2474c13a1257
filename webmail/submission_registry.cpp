#include "webmail/submission_registry.h"

#include <algorithm>

#include "core/singleton.h"
#include "text/ascii.h"

namespace {

vx::Str Lower(std::string_view text) {
    vx::Str out(text);
    for (char& c : out) c = vx::Ascii::ToLower(c);
    return out;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// The header's lines: each field with its continuation lines joined.
template <class Visit>
void ForEachField(std::string_view header, Visit visit) {
    vx::Str field;
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find('\n', at);
        std::string_view line = header.substr(at, end == std::string_view::npos ? end : end - at);
        at = end == std::string_view::npos ? header.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;  // the end of the header
        if (Blank(line[0])) {
            field.append(line);
            continue;
        }
        if (!field.empty()) visit(field);
        field.assign(line);
    }
    if (!field.empty()) visit(field);
}

}  // namespace

SubmissionRegistry& SubmissionRegistry::Instance() {
    return qn::Singleton<SubmissionRegistry>::Instance();
}

void SubmissionRegistry::Expire(int64_t now) {
    while (!entries.empty() &&
           (entries.size() > kMaxEntries || entries.front().when + kKeepSeconds < now))
        entries.pop_front();
}

void SubmissionRegistry::Record(const vx::Str& account, const vx::Str& messageId, uint64_t size,
                                int64_t now) {
    if (messageId.empty()) return;
    std::lock_guard<std::mutex> guard(lock);
    entries.push_back({Lower(account), messageId, size, now});
    Expire(now);
}

bool SubmissionRegistry::Submitted(const vx::Str& account, const vx::Str& messageId, uint64_t size,
                                   int64_t now) const {
    if (messageId.empty()) return false;
    const vx::Str who = Lower(account);
    std::lock_guard<std::mutex> guard(lock);
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
        uint64_t apart = entry.size > size ? entry.size - size : size - entry.size;
        return entry.account == who && entry.messageId == messageId && apart <= kSizeSlack &&
               entry.when + kKeepSeconds >= now && entry.when <= now + kKeepSeconds;
    });
}

void SubmissionRegistry::Clear() {
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

vx::Str SubmissionRegistry::MessageIdOfHeader(std::string_view header) {
    vx::Str found;
    ForEachField(header, [&](const vx::Str& field) {
        size_t colon = field.find(':');
        if (!found.empty() || colon == vx::Str::npos) return;
        std::string_view name(field.data(), colon);
        while (!name.empty() && Blank(name.back())) name.remove_suffix(1);
        if (!vx::Ascii::EqualNoCase(name, "message-id")) return;
        size_t open = field.find('<', colon);
        size_t close = open == vx::Str::npos ? open : field.find('>', open);
        if (close != vx::Str::npos) found = field.substr(open, close - open + 1);
    });
    return found;
}

vx::Str SubmissionRegistry::MessageId(vxw::BodySource& text) {
    vx::Str header;
    char buffer[4096];
    text.Rewind();
    while (header.size() < kMaxHeader && header.find("\n\r\n") == vx::Str::npos &&
           header.find("\n\n") == vx::Str::npos) {
        size_t got = text.Read(buffer, std::min(sizeof buffer, kMaxHeader - header.size()));
        if (got == 0) break;
        header.append(buffer, got);
    }
    text.Rewind();
    return MessageIdOfHeader(header);
}
