#pragma once
// Reads the body of a message/rfc821 submission: a "MAIL FROM:<address>" line,
// one "RCPT TO:<address>" line per recipient, an empty line, then the message.
#include <string>

#include "tools/httpmail/sent_store.h"

namespace httpmail {

// False with `error` set when the body does not have that shape or names no recipient.
bool ParseSubmission(const std::string& body, Submission& out, std::string& error);

}  // namespace httpmail
