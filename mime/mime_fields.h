#pragma once
// The content fields of a MIME header (RFC 2045, 2183, 3066, 2557) as
// BODYSTRUCTURE reports them.
#include <string_view>
#include <vector>

#include "mime/mime_part.h"

// Fills the content fields of part from part.header. Without a usable
// Content-Type a part is text/plain in US-ASCII, or message/rfc822 inside a
// multipart/digest (RFC 2046 5.1.5).
void ReadContentFields(MimePart& part, bool inDigest);

// The parameters after a value's first ";" (Content-Type, -Disposition).
// Parameters split by RFC 2231 ("name*0", "name*1*"...) are joined into one.
std::vector<MimeParam> ReadMimeParams(std::string_view value);

// The value of the parameter named name (any letter case), or null.
const vx::Str* FindMimeParam(const std::vector<MimeParam>& params, std::string_view name);
