#pragma once
// The messages accounts submitted for sending: kept in memory and, with a state
// folder, as files there (NNNNNN.envelope with the MAIL FROM and RCPT TO lines,
// NNNNNN.eml with the text as received).
#include <mutex>
#include <string>
#include <vector>

namespace httpmail {

struct Submission {
    std::string account;
    std::string from;
    std::vector<std::string> recipients;
    std::string text;
};

class SentStore {
public:
    // `dir` empty: memory only.
    explicit SentStore(std::string dir);
    // Keeps the submission; false when it could not be written to disk.
    bool Add(const Submission& submission);
    // One line per submission: number, account, sender, recipients (comma-joined), size.
    std::string Summary() const;
    // The envelope lines, an empty line and the text, as posted.
    bool Raw(size_t number, std::string& out) const;

private:
    std::string dir;
    mutable std::mutex lock;
    std::vector<Submission> submissions;
};

std::string EnvelopeText(const Submission& submission);

}  // namespace httpmail
