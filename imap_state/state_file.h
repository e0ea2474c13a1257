#pragma once
// Files of the IMAP state: written whole, so that a reader (or the next
// start after a crash) sees either the old file or the new one, never half.
#include "core/str.h"

// Writes bytes to a temporary file beside path (mode 0600 where the system
// has modes), then puts it in path's place in one step. False on failure;
// path is then unchanged.
namespace ImapStateFile {
bool WriteAtomically(const vx::Str& path, const vx::Str& bytes);
}  // namespace ImapStateFile
