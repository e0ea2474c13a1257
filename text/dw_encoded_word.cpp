#include "text/dw_encoded_word.h"

#include "text/base64.h"

namespace vx {

void DwEncodedWord::SetCharset(const DwString& name) {
    charset = name;
    SetModified();
}

void DwEncodedWord::SetEncodingType(char type) {
    encodingType = type;
    SetModified();
}

void DwEncodedWord::SetDecodedText(const DwString& text) {
    decodedText = text;
    SetModified();
}

void DwEncodedWord::Assemble() {
    if (!modified || (encodingType != 'B' && encodingType != 'b')) return;
    encodedText = EncodeBase64(decodedText);
    string = "=?" + charset + "?" + encodingType + "?" + encodedText + "?=";
    modified = false;
}

}  // namespace vx
