#pragma once
// An RFC 2047 encoded word, "=?charset?B?text?=". Only the Base64 form is
// assembled; the program never decodes encoded words.
#include "text/dw_message_component.h"

namespace vx {

class DwEncodedWord : public DwMessageComponent {
public:
    static constexpr int kClassId = 22;

    DwEncodedWord() : DwMessageComponent(kClassId, "DwEncodedWord") {}

    void SetCharset(const DwString& name);
    const DwString& Charset() const { return charset; }
    // 'B' or 'b' selects Base64, the only form assembled.
    void SetEncodingType(char type);
    char EncodingType() const { return encodingType; }
    void SetDecodedText(const DwString& text);
    const DwString& DecodedText() const { return decodedText; }
    const DwString& EncodedText() const { return encodedText; }

    void Assemble() override;

private:
    DwString charset;
    char encodingType = 0;
    DwString encodedText;
    DwString decodedText;
};

}  // namespace vx
