#include "tests/support/log_watch.h"

#include <chrono>
#include <thread>

#include "core/file_util.h"
#include "core/log.h"

namespace testing_support {
namespace {

std::string ReadLog() {
    std::string text;
    LoadFile(LogFilePath(), text);
    return text;
}

}  // namespace

LogWatch::LogWatch() : start(ReadLog().size()) {}

std::string LogWatch::NewText() const {
    std::string text = ReadLog();
    return text.size() > start ? text.substr(start) : std::string();
}

std::vector<std::string> LogWatch::NewLines() const {
    std::vector<std::string> lines;
    std::string text = NewText();
    size_t at = 0;
    // A text with a line break of its own spans several lines, as in the file.
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t mark = line.find("\t-\t");
        lines.push_back(mark == std::string::npos ? line : line.substr(mark + 3));
        at = end + 1;
    }
    return lines;
}

bool LogWatch::WaitFor(const std::string& fragment, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (NewText().find(fragment) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace testing_support
