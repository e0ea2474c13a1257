#pragma once
// The .eml files of a mail folder loaded with write-back: what happens to a
// message in the service happens to its file too.
#include <cstdint>
#include <string>

namespace httpmail {

// Moves (or copies) the file into the folder's directory; a name already
// there gets a suffix. The file's new name; on failure the old one for a move,
// empty for a copy.
std::string MoveMessageFile(const std::string& file, const std::string& dir, bool keep);
// Writes a new message into the folder's directory under a file name made from
// its id, dated `received`. The file's name, or empty when it could not be written.
std::string WriteMessageFile(const std::string& dir, const std::string& id,
                             const std::string& source, int64_t received);

}  // namespace httpmail
