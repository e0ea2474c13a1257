#pragma once
// Reads what was appended to this program's "mirelink.log" (in its state
// folder on Linux, beside it on Windows) since the watch was made. The cases of one test program run one at a time, so the new lines are
// the case's own.
#include <string>
#include <vector>

#include "core/log.h"  // kLogLineEnd, which the watched lines end in

namespace testing_support {

class LogWatch {
public:
    LogWatch();
    // The text appended since construction.
    std::string NewText() const;
    // The appended lines without their time stamps and line ends.
    std::vector<std::string> NewLines() const;
    // Waits up to timeoutMs for a new line containing fragment.
    bool WaitFor(const std::string& fragment, int timeoutMs = 5000) const;

private:
    size_t start;
};

}  // namespace testing_support
