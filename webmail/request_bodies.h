#pragma once
// The bodies the web mail client sends: the three PROPFIND queries, each on
// one line (no white space between tags, empty elements as "<name/>"), and the
// envelope of a message/rfc821 submission.
#include <vector>

#include "core/str.h"

namespace request_bodies {

// Login: where the inbox, the submission URL, deleted items and the folder root are.
const vx::Str& Login();
// Folder discovery on the folder root.
const vx::Str& FolderQuery();
// A folder's messages with their sizes.
const vx::Str& ListQuery();

// What goes before the text of a submission: "MAIL FROM:<a>", one
// "RCPT TO:<b>" per recipient in the order given (each line ended by CR LF)
// and an empty line. Addresses go through Hotmail::ExtractAddress.
vx::Str SubmissionEnvelope(const vx::Str& sender, const std::vector<vx::Str>& recipients);

}  // namespace request_bodies
