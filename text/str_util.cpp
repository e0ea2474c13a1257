#include "text/str_util.h"

#include <algorithm>
#include <cstdio>

#include "core/singleton.h"
#include "text/ascii.h"
#include "text/base64.h"
#include "text/charset_map.h"
#include "text/dw_encoded_word.h"

namespace vx {
namespace StrUtil {
namespace {

constexpr size_t kEncodedWordBytes = 60;  // a word is closed once it carries this many

Str EncodedWord(const Str& charset, const Str& bytes) {
    DwEncodedWord word;
    word.SetCharset(charset);
    word.SetEncodingType('B');
    word.SetDecodedText(bytes);
    word.Assemble();
    return word.AsString();
}

}  // namespace

Str ConvertToUtf8(std::string_view charset, std::string_view text) {
    if (Ascii::IsUtf8Name(charset)) return Str(text);
    CodePoints codePoints;
    qn::Singleton<CharsetMap>::Instance().Decode(charset, text, codePoints);
    Str out;
    out.reserve(codePoints.size());
    for (uint32_t codePoint : codePoints) AppendUtf8(out, codePoint);
    return out;
}

Str EncodeHeaderText(const Str& text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return text;
    CodePoints codePoints = DecodeUtf8(text);
    CharsetMap& charsets = qn::Singleton<CharsetMap>::Instance();
    const Str charset = charsets.ChooseCharset(codePoints);
    Str words, run, character;
    // Characters are never split between words.
    for (size_t at = 0; at < codePoints.size(); ++at) {
        charsets.EncodeCharacter(character, codePoints[at], charset);
        run += character;
        if (run.size() >= kEncodedWordBytes || at + 1 == codePoints.size()) {
            if (!words.empty()) words += ' ';
            words += EncodedWord(charset, run);
            run.clear();
        }
    }
    return words;
}

Str Base64Encode(const Str& bytes) {
    return EncodeBase64(bytes);
}

Str Base64Decode(const Str& text) {
    return DecodeBase64(text);
}

Str IntToStr(int32_t value) {
    return std::to_string(value);
}

Str UIntToStr(uint32_t value) {
    return std::to_string(value);
}

Str HexStr(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%8.8x", static_cast<unsigned>(value));
    return text;
}

}  // namespace StrUtil
}  // namespace vx
