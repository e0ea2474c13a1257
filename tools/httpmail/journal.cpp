#include "tools/httpmail/journal.h"

namespace httpmail {

namespace {
const size_t kKept = 10000;
const size_t kHeadKept = 8192;  // bytes of each request head

std::string Field(const std::string& text) {
    return text.empty() ? "-" : text;
}
}  // namespace

Journal::Journal(const std::string& path) {
    if (!path.empty()) file.open(path, std::ios::binary | std::ios::app);
}

std::string Journal::Line(size_t number, const JournalEntry& e) {
    return std::to_string(number) + " " + Field(e.exchange) + " " + e.method + " " + e.target +
           " " + std::to_string(e.status) + " " + Field(e.account) + " " + Field(e.faults) + "\r\n";
}

void Journal::Add(JournalEntry entry) {
    std::lock_guard<std::mutex> guard(lock);
    if (file.is_open()) {
        file << Line(dropped + entries.size() + 1, entry);
        file.flush();
    }
    if (entry.head.size() > kHeadKept) entry.head.resize(kHeadKept);
    entries.push_back(std::move(entry));
    if (entries.size() > kKept) {
        entries.pop_front();
        ++dropped;
    }
}

std::string Journal::Lines() const {
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    for (size_t i = 0; i < entries.size(); ++i) out += Line(dropped + i + 1, entries[i]);
    return out;
}

bool Journal::Head(size_t number, std::string& out) const {
    std::lock_guard<std::mutex> guard(lock);
    if (number <= dropped || number > dropped + entries.size()) return false;
    out = entries[number - dropped - 1].head;
    return true;
}

}  // namespace httpmail
