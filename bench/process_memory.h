#pragma once
// The benchmark process's own memory, from /proc/self/status (Linux).
#include <cstring>
#include <fstream>
#include <string>

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when absent.
inline long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line[length] == ':')
            return std::stol(line.substr(length + 1));
    }
    return -1;
}

// Lets VmHWM start again from the current resident size.
inline void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}
