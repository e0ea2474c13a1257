#pragma once
// Whether the text a person reads in a message holds a search text (IMAP
// BODY and TEXT). The bodies of its text parts are read as they stream in:
// the transfer encoding undone, the charset read into UTF-8, letter case
// folded, lines cut at their ends so that no character is split; nothing
// holds more than a piece and a long line's start. As in Dovecot, only
// text/* and message/* bodies count: not attachments of other types, nor
// the preamble and epilogue of a multipart. With headers, every header of
// the message and its parts counts too, decoded (DecodeHeaderSection).
#include <cstdint>
#include <functional>

#include "core/body_stream.h"
#include "mime/mime_part.h"
#include "text/text_finder.h"

// Gives size bytes of the message from offset to sink, in pieces, and stops
// when the sink wants no more.
using MimeRangeReader = std::function<void(uint64_t offset, uint64_t size, vxw::BodySink& sink)>;

// finder holds the search text, folded (vx::FoldCase).
bool MimeTextContains(const MimePart& root, bool headers, vx::TextFinder& finder,
                      const MimeRangeReader& read);
