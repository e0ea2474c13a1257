#pragma once
// Runs a real client program (curl, python3, fetchmail) for an end-to-end test.
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not end normally (killed at the time limit)
    std::string out;
    std::string err;
};

// Runs args[0] (looked up in PATH) with the arguments, optional standard
// input, and kills it after timeoutSeconds.
ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input = "",
                         int timeoutSeconds = 60);

// True when the program can be found in PATH.
bool HaveProgram(const std::string& name);

}  // namespace testing_support
