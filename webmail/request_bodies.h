#pragma once
// The bodies the web mail client sends: the three PROPFIND queries, each on
// one line (no white space between tags, empty elements as "<name/>"), and the
// message/rfc821 submission.
#include <vector>

#include "core/str.h"

namespace request_bodies {

// Login: where the inbox, the submission URL, deleted items and the folder root are.
const vx::Str& Login();
// Folder discovery on the folder root.
const vx::Str& FolderQuery();
// A folder's messages with their sizes.
const vx::Str& ListQuery();

// "MAIL FROM:<a>", one "RCPT TO:<b>" per recipient in the order given (each
// line ended by CR LF), an empty line, then the text unchanged. Addresses go
// through Hotmail::ExtractAddress.
vx::Str Submission(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                   const vx::Str& text);

}  // namespace request_bodies
