#pragma once
// The system calls under ImapSpoolFile.
#include <cstdint>
#include <cstdio>

namespace ImapSpoolSystem {

// A new file only this user can read, removed by the system when it is
// closed or the process ends; nullptr on failure.
std::FILE* OpenPrivateTemporary();
bool Seek(std::FILE* file, uint64_t offset);
// Empties the file.
bool Truncate(std::FILE* file);

}  // namespace ImapSpoolSystem
