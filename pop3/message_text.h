#pragma once
// What RETR and TOP do to a message's text before it is sent.
#include <cstdint>

#include "core/str.h"

// "X-Mirelink-Folder: <folder>" and CR LF: put in front of every message so
// that the mail client can tell which web mail folder it came from.
vx::Str FolderHeaderLine(const vx::Str& folder);

// Keeps the header section, the empty line after it and the first `lines`
// body lines. A text without an empty line, or with fewer body lines, stays
// whole. Lines begin at the start of the text and after each CR LF.
void CutToTopLines(vx::Str& text, int64_t lines);

// The unique id of a message for UIDL: its URL, cut to the last 70
// characters, the longest id RFC 1939 allows.
vx::Str UniqueId(const vx::Str& href);
