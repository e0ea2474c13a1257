#include "mime/header_text.h"

#include "mime/mime_charset.h"
#include "mime/mime_header.h"
#include "mime/mime_transfer.h"
#include "text/ascii.h"

namespace {

struct EncodedWord {
    std::string_view charset;  // an RFC 2231 language ("*en") removed
    char encoding = 0;         // 'B' or 'Q'
    std::string_view text;
    size_t size = 0;  // of the whole word as written
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsBase64Text(std::string_view text) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    return text.find_first_not_of(kAlphabet) == std::string_view::npos;
}

// "=?charset?encoding?text?=" at the start of value; none of its three
// pieces holds a blank or a "?".
bool ReadEncodedWord(std::string_view value, EncodedWord& word) {
    if (value.substr(0, 2) != "=?") return false;
    size_t charsetEnd = value.find('?', 2);
    if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= value.size() ||
        value[charsetEnd + 2] != '?')
        return false;
    size_t textEnd = value.find("?=", charsetEnd + 3);
    if (textEnd == std::string_view::npos) return false;
    std::string_view charset = value.substr(2, charsetEnd - 2);
    word.encoding = vx::Ascii::ToUpper(value[charsetEnd + 1]);
    word.text = value.substr(charsetEnd + 3, textEnd - charsetEnd - 3);
    word.charset = charset.substr(0, charset.find('*'));
    word.size = textEnd + 2;
    if (word.charset.empty() || (word.encoding != 'B' && word.encoding != 'Q')) return false;
    for (std::string_view piece : {charset, word.text})
        for (char c : piece)
            if (IsBlank(c)) return false;
    return word.encoding == 'Q' || IsBase64Text(word.text);
}

// The bytes of the Q form (RFC 2047 4.2): "_" is a space, "=XX" a byte; an
// "=" that starts no such pair stays.
vx::Str DecodeQ(std::string_view text) {
    vx::Str out;
    for (size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        int high = at + 2 < text.size() ? vx::Ascii::HexValue(text[at + 1]) : -1;
        int low = at + 2 < text.size() ? vx::Ascii::HexValue(text[at + 2]) : -1;
        if (c == '=' && high >= 0 && low >= 0) {
            out += static_cast<char>(high << 4 | low);
            at += 2;
        } else {
            out += c == '_' ? ' ' : c;
        }
    }
    return out;
}

void AppendWord(vx::Str& out, const EncodedWord& word) {
    vx::Str bytes;
    if (word.encoding == 'Q') {
        bytes = DecodeQ(word.text);
    } else {
        MimeTransferDecoder base64("base64");
        base64.Decode(word.text, bytes);
        base64.Finish(bytes);
    }
    MimeCharset(word.charset).AppendUtf8(out, bytes);
}

// Text outside encoded words, line breaks left out.
void AppendPlain(vx::Str& out, std::string_view text) {
    vx::Str kept;
    for (char c : text)
        if (c != '\r' && c != '\n') kept += c;
    MimeCharset("").AppendUtf8(out, kept);
}

}  // namespace

vx::Str DecodeHeaderText(std::string_view value) {
    vx::Str out;
    size_t plainStart = 0;
    bool afterWord = false;  // only blanks since the last encoded word
    for (size_t at = 0; at < value.size();) {
        EncodedWord word;
        if (value[at] != '=' || !ReadEncodedWord(value.substr(at), word)) {
            if (!IsBlank(value[at]) && value[at] != '\r' && value[at] != '\n') afterWord = false;
            ++at;
            continue;
        }
        if (!afterWord) AppendPlain(out, value.substr(plainStart, at - plainStart));
        AppendWord(out, word);
        at += word.size;
        plainStart = at;
        afterWord = true;
    }
    AppendPlain(out, value.substr(plainStart));
    return out;
}

vx::Str DecodeHeaderSection(std::string_view header) {
    vx::Str out;
    MimeHeader::FieldReader reader(header);
    MimeHeader::Field field;
    while (reader.Next(field)) {
        out.append(field.name);
        out += ": ";
        out += DecodeHeaderText(MimeHeader::Unfold(field.value));
        out += "\r\n";
    }
    return out;
}
