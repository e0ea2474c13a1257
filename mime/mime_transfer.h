#pragma once
// Content-Transfer-Encoding undone (RFC 2045 6.7, 6.8) on a body fed in
// pieces cut anywhere. Lenient, as mail is found, and it never fails:
// base64 skips what is not in its alphabet and takes "=" as the end of a
// group, then reads on; a group cut off by the end gives the bytes it
// holds. Quoted-printable keeps an "=" that starts no escape or soft line
// break as written, and drops the blanks at the end of a line. Any other
// encoding (7bit, 8bit, binary, one it does not know) passes the bytes on.
#include <cstdint>
#include <string_view>

#include "core/str.h"

class MimeTransferDecoder {
public:
    explicit MimeTransferDecoder(std::string_view encoding);

    // Appends the decoded bytes of the next piece to out.
    void Decode(std::string_view piece, vx::Str& out);
    // Appends what the end of the body completes.
    void Finish(vx::Str& out);

private:
    enum class Kind { Identity, Base64, QuotedPrintable };
    void DecodeBase64(std::string_view piece, vx::Str& out);
    void EndBase64Group(vx::Str& out);
    void DecodeQuoted(std::string_view piece, vx::Str& out);
    // Decides the bytes held in pending with c; false when c must be read
    // again on its own.
    bool ResolvePending(char c, vx::Str& out);

    Kind kind = Kind::Identity;
    uint32_t bits = 0;  // base64: the characters of the current group
    int count = 0;      // base64: how many
    // Quoted-printable bytes whose meaning the next bytes decide: "=", "=X",
    // "=" with blanks or a CR after it, or blanks (with a CR) that a line
    // end would drop.
    vx::Str pending;
};
