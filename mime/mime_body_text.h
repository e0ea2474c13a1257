#pragma once
// The text of one part's body as a search reads it, fed the raw body in
// pieces cut anywhere: transfer encoding undone (MimeTransferDecoder),
// charset read (MimeCharset) a line at a time so that no character is cut
// in two, case folded, and handed to a finder.
#include "core/body_stream.h"
#include "mime/mime_charset.h"
#include "mime/mime_part.h"
#include "mime/mime_transfer.h"
#include "text/text_finder.h"

class MimeBodyText : public vxw::BodySink {
public:
    // A line longer than this is read in pieces of about this size.
    static constexpr size_t kMaxLine = 64 * 1024;

    MimeBodyText(const MimePart& part, vx::TextFinder& finder);

    // False once the finder found its text: no more is wanted.
    bool Put(const char* data, size_t size) override;
    // The end of the body; true when the finder found its text.
    bool Finish();

private:
    // Reads the decoded lines that are complete (with end, everything).
    void Pass(bool end);

    MimeTransferDecoder transfer;
    MimeCharset charset;
    vx::TextFinder& finder;
    vx::Str decoded;  // transfer-decoded bytes not read yet: a line's start
    vx::Str folded;   // kept between calls for its memory
};
