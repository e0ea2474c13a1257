#pragma once
// BODYSTRUCTURE and BODY of a parsed message (RFC 3501 7.4.2).
#include "core/str.h"
#include "mime/mime_part.h"

// extended: BODYSTRUCTURE, with the extension data (MD5, disposition,
// language, location; a multipart's parameters); otherwise BODY without it.
vx::Str WriteBodyStructure(const MimePart& part, bool extended);
