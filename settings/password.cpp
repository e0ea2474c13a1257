#include "settings/password.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <algorithm>
#include <memory>

#include "core/exception.h"
#include "net/openssl.h"
#include "text/base64.h"

namespace vx {
namespace {

const char kPrefix[] = " ~ ~ ";
const unsigned char kSalt[8] = {'w', 'n', 'q', 'z', 'd', 'x', 'h', 'e'};
const char kPassPhrase[] = "-p7v2kd4-x81mtq}c3[6r/";
constexpr size_t kPiece = 50;  // the cipher is fed in pieces of at most this size

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

[[noreturn]] void Fail(const char* place, const char* what) {
    Str errors = vxw::SslErrorText();
    throw Exception(Str(place) + " - " + what + (errors.empty() ? "" : " - " + errors));
}

// Runs Blowfish-CBC over input; encrypt selects the direction. Throws with
// place and what when the cipher cannot run or the input does not decrypt.
Str RunCipher(const Str& input, bool encrypt, const char* place, const char* what) {
    vxw::OpenSsl::Instance();
    ERR_clear_error();
    const EVP_CIPHER* cipher = EVP_bf_cbc();
    unsigned char key[EVP_MAX_KEY_LENGTH], iv[EVP_MAX_IV_LENGTH];
    if (cipher == nullptr ||
        EVP_BytesToKey(cipher, EVP_md5(), kSalt, reinterpret_cast<const unsigned char*>(kPassPhrase),
                       sizeof kPassPhrase - 1, 1, key, iv) <= 0)
        Fail(place, what);
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context || EVP_CipherInit_ex(context.get(), cipher, nullptr, key, iv, encrypt ? 1 : 0) != 1)
        Fail(place, what);
    Str output;
    unsigned char block[kPiece + EVP_MAX_BLOCK_LENGTH];
    int produced = 0;
    for (size_t at = 0; at < input.size(); at += kPiece) {
        size_t size = std::min(kPiece, input.size() - at);
        if (EVP_CipherUpdate(context.get(), block, &produced,
                             reinterpret_cast<const unsigned char*>(input.data() + at),
                             static_cast<int>(size)) != 1)
            Fail(place, what);
        output.append(reinterpret_cast<char*>(block), static_cast<size_t>(produced));
    }
    if (EVP_CipherFinal_ex(context.get(), block, &produced) != 1) Fail(place, what);
    output.append(reinterpret_cast<char*>(block), static_cast<size_t>(produced));
    return output;
}

}  // namespace

Str ProtectPassword(const Str& clearText) {
    return kPrefix + EncodeBase64(RunCipher(clearText, true, "vx::ProtectPassword::Cipher",
                                            "The password cipher (Blowfish) is not available"));
}

bool UnprotectPassword(Str& stored) {
    if (stored.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return false;
    stored = RunCipher(DecodeBase64(stored.substr(sizeof kPrefix - 1)), false,
                       "vx::UnprotectPassword::Cipher", "The stored password cannot be read");
    return true;
}

}  // namespace vx
