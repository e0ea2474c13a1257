#pragma once
// A record of the requests the service answered, for tests and for people
// watching a client: in memory (the latest 10000) and, with a state folder,
// appended to a file as one line each.
#include <deque>
#include <fstream>
#include <mutex>
#include <string>

namespace httpmail {

struct JournalEntry {
    std::string exchange;  // login, folders, list, get, move, post, or "-"
    std::string method, target;
    int status = 0;
    std::string account;  // the authenticated account, or empty
    std::string faults;   // the fault rules applied, or empty
    std::string head;     // the request head as received
};

class Journal {
public:
    // `file` empty: memory only.
    explicit Journal(const std::string& file);
    void Add(JournalEntry entry);
    // "N exchange method target status account faults", "-" for empty fields.
    std::string Lines() const;
    bool Head(size_t number, std::string& out) const;

private:
    static std::string Line(size_t number, const JournalEntry& entry);

    mutable std::mutex lock;
    std::deque<JournalEntry> entries;
    size_t dropped = 0;  // entries that fell off the front
    std::ofstream file;
};

}  // namespace httpmail
