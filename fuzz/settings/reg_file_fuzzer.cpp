// The settings file reader on any file: it reads without failing, writes
// back what it read unchanged, and a value the program sets reads back as it
// was set, whatever stood around it.
//
// Input: the first byte gives the length of a text value taken from the end
// of the input (modulo 64); the bytes between are the file.
#include "fuzz/support/fuzz_check.h"
#include "settings/reg_file.h"
#include "text/utf8.h"

namespace {

const vx::Str kKey = "HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink";
// Values the program reads, of both types.
const char* const kNames[] = {"Address", "Port", "Timeout", "ProxyPassword", "ver-3.6"};

// Text the program can hold in a setting, here and in the Windows registry:
// UTF-8 of Unicode characters (what UTF-16 carries), without NUL.
bool IsSettingText(const vx::Str& text) {
    vx::CodePoints codePoints = vx::StrUtil::DecodeUtf8(text);
    vx::Str again;
    for (uint32_t codePoint : codePoints) {
        if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint < 0xE000))
            return false;
        vx::StrUtil::AppendUtf8(again, codePoint);
    }
    return again == text;
}

vxw::RegFile Reread(const vxw::RegFile& file) {
    return vxw::RegFile::Parse(file.Serialize());
}

bool SameValue(const vxw::RegValue* a, const vxw::RegValue* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->type == b->type && a->data == b->data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    vx::Str input(fuzz_support::AsText(data + 1, size - 1));
    size_t valueLength = std::min<size_t>(data[0] % 64, input.size());
    vx::Str text = input.substr(input.size() - valueLength);
    vxw::RegFile file = vxw::RegFile::Parse(input.substr(0, input.size() - valueLength));

    vx::Str written = file.Serialize();
    FUZZ_CHECK(vxw::RegFile::Parse(written).Serialize() == written);

    // A write of one value leaves every other value as it was.
    bool settable = IsSettingText(text);
    if (settable) file.Set(kKey, "Address", vxw::RegFile::String(text));
    uint32_t number = static_cast<uint32_t>(text.size()) * 0x01010101u;
    file.Set(kKey, "Port", vxw::RegFile::Dword(number));
    vxw::RegFile reread = Reread(file);
    for (const char* name : kNames)
        FUZZ_CHECK(SameValue(reread.Find(kKey, name), file.Find(kKey, name)));
    if (settable) {
        const vxw::RegValue* address = reread.Find(kKey, "Address");
        FUZZ_CHECK(address != nullptr && address->data == text + '\0');
    }
    const vxw::RegValue* port = reread.Find(kKey, "Port");
    FUZZ_CHECK(port != nullptr && port->data == vxw::RegFile::Dword(number).data);
    return 0;
}
