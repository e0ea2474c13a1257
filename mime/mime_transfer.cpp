#include "mime/mime_transfer.h"

#include "text/ascii.h"

namespace {

// A run of blanks longer than this is no line's trailing white space to
// wait for: it is passed on, so what is held stays bounded.
constexpr size_t kMaxPending = 256;

// The value of each base64 character; -1 for every other byte.
struct Base64Table {
    int8_t value[256];
    Base64Table() {
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int8_t& entry : value) entry = -1;
        for (int8_t at = 0; at < 64; ++at) value[static_cast<unsigned char>(alphabet[at])] = at;
    }
};
const Base64Table kBase64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

MimeTransferDecoder::MimeTransferDecoder(std::string_view encoding) {
    if (vx::Ascii::EqualNoCase(encoding, "base64")) kind = Kind::Base64;
    if (vx::Ascii::EqualNoCase(encoding, "quoted-printable")) kind = Kind::QuotedPrintable;
}

void MimeTransferDecoder::Decode(std::string_view piece, vx::Str& out) {
    switch (kind) {
        case Kind::Identity:
            out.append(piece);
            return;
        case Kind::Base64:
            DecodeBase64(piece, out);
            return;
        case Kind::QuotedPrintable:
            DecodeQuoted(piece, out);
            return;
    }
}

void MimeTransferDecoder::Finish(vx::Str& out) {
    if (kind == Kind::Base64) EndBase64Group(out);
    // A lone "=" or blanks at the very end are a soft break and trailing
    // white space; "=X" is kept as written.
    if (kind == Kind::QuotedPrintable && pending.size() == 2 &&
        vx::Ascii::HexValue(pending[1]) >= 0)
        out += pending;
    pending.clear();
}

void MimeTransferDecoder::DecodeBase64(std::string_view piece, vx::Str& out) {
    out.reserve(out.size() + piece.size() / 4 * 3 + 3);
    for (unsigned char c : piece) {
        int value = kBase64.value[c];
        if (value < 0) {
            if (c == '=') EndBase64Group(out);
            continue;
        }
        bits = bits << 6 | static_cast<uint32_t>(value);
        if (++count < 4) continue;
        out += static_cast<char>(bits >> 16);
        out += static_cast<char>(bits >> 8 & 0xFF);
        out += static_cast<char>(bits & 0xFF);
        bits = 0;
        count = 0;
    }
}

void MimeTransferDecoder::EndBase64Group(vx::Str& out) {
    // Two characters carry one byte, three carry two; one carries none.
    if (count == 2) out += static_cast<char>(bits >> 4);
    if (count == 3) {
        out += static_cast<char>(bits >> 10);
        out += static_cast<char>(bits >> 2 & 0xFF);
    }
    bits = 0;
    count = 0;
}

void MimeTransferDecoder::DecodeQuoted(std::string_view piece, vx::Str& out) {
    out.reserve(out.size() + piece.size());
    for (size_t at = 0; at < piece.size();) {
        char c = piece[at];
        if (!pending.empty()) {
            if (ResolvePending(c, out)) ++at;
            continue;
        }
        // A blank with text after it on its line ends no line: the usual case.
        char next = at + 1 < piece.size() ? piece[at + 1] : '\n';
        bool trailing = IsBlank(next) || next == '\r' || next == '\n';
        if (c == '=' || (IsBlank(c) && trailing))
            pending = c;
        else
            out += c;
        ++at;
    }
}

bool MimeTransferDecoder::ResolvePending(char c, vx::Str& out) {
    bool escape = pending[0] == '=';
    if (escape && pending.size() == 1 && vx::Ascii::HexValue(c) >= 0) {
        pending += c;
        return true;
    }
    if (escape && pending.size() == 2 && vx::Ascii::HexValue(pending[1]) >= 0) {
        if (vx::Ascii::HexValue(c) >= 0) {
            out += static_cast<char>(vx::Ascii::HexValue(pending[1]) << 4 | vx::Ascii::HexValue(c));
            pending.clear();
            return true;
        }
    } else if (c == '\n') {
        // A soft line break ends nothing; blanks before a hard one go.
        if (!escape) out += pending.back() == '\r' ? "\r\n" : "\n";
        pending.clear();
        return true;
    } else if ((IsBlank(c) && pending.back() != '\r') || (c == '\r' && pending.back() != '\r')) {
        if (pending.size() < kMaxPending) {
            pending += c;
            return true;
        }
    }
    out += pending;
    pending.clear();
    return false;
}
