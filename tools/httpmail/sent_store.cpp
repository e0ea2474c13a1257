#include "tools/httpmail/sent_store.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace httpmail {

namespace {
bool WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return bool(out);
}
}  // namespace

std::string EnvelopeText(const Submission& submission) {
    std::string text = "MAIL FROM:<" + submission.from + ">\r\n";
    for (const std::string& to : submission.recipients) text += "RCPT TO:<" + to + ">\r\n";
    return text;
}

SentStore::SentStore(std::string folder) : dir(std::move(folder)) {}

bool SentStore::Add(const Submission& submission) {
    std::lock_guard<std::mutex> guard(lock);
    if (!dir.empty()) {
        char stem[32];
        std::snprintf(stem, sizeof stem, "%06zu", submissions.size() + 1);
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        const std::filesystem::path base = std::filesystem::path(dir) / stem;
        if (!WriteFile(base.string() + ".eml", submission.text) ||
            !WriteFile(base.string() + ".envelope", EnvelopeText(submission)))
            return false;
    }
    submissions.push_back(submission);
    return true;
}

std::string SentStore::Summary() const {
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    for (size_t i = 0; i < submissions.size(); ++i) {
        const Submission& s = submissions[i];
        std::string to;
        for (const std::string& r : s.recipients) to += (to.empty() ? "" : ",") + r;
        out += std::to_string(i + 1) + " " + s.account + " <" + s.from + "> " + to + " " +
               std::to_string(s.text.size()) + "\r\n";
    }
    return out;
}

bool SentStore::Raw(size_t number, std::string& out) const {
    std::lock_guard<std::mutex> guard(lock);
    if (number == 0 || number > submissions.size()) return false;
    const Submission& s = submissions[number - 1];
    out = EnvelopeText(s) + "\r\n" + s.text;
    return true;
}

}  // namespace httpmail
