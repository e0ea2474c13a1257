#pragma once
// The modification time of a message file, which stands for the time the
// message arrived when a mail folder is loaded.
#include <cstdint>
#include <string>

namespace httpmail {

// Seconds since 1970 in UTC; false when the file cannot be examined.
bool FileModified(const std::string& path, int64_t& seconds);
// Best effort: a file whose time cannot be set keeps the time it has.
void SetFileModified(const std::string& path, int64_t seconds);

}  // namespace httpmail
