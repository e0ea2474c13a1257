#pragma once
// The ENVELOPE of a message (RFC 3501 7.4.2) from its header.
#include <string_view>

#include "core/str.h"

// "(date subject from sender reply-to to cc bcc in-reply-to message-id)".
// Sender and Reply-To fall back to From when absent or empty; the subject and
// display names have their blanks simplified; RFC 2047 words stay encoded.
vx::Str WriteEnvelope(std::string_view header);
