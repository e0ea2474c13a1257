#include "tests/support/test_certificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>

#include "net/openssl.h"

namespace testing_support {
namespace {

constexpr long kDay = 24 * 60 * 60;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

// The library is started the program's way before the key is made: a test
// server's thread making its key while the program's first TLS connection
// loads the providers could find no key generator at that moment.
EVP_PKEY* NewKey() {
    vxw::OpenSsl::Instance();
    return EVP_EC_gen("P-256");
}

}  // namespace

TestCertificate::TestCertificate(bool expired) : key(NewKey()), certificate(X509_new()) {
    if (key == nullptr || certificate == nullptr) throw std::runtime_error("TestCertificate");
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -2 * kDay : -kDay);
    X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -kDay : 30 * kDay);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509_set_pubkey(certificate, key);
    if (X509_sign(certificate, key, EVP_sha256()) == 0) throw std::runtime_error("X509_sign");
}

TestCertificate::~TestCertificate() {
    X509_free(certificate);
    EVP_PKEY_free(key);
}

SSL_CTX* TestCertificate::NewServerContext() const {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr || SSL_CTX_use_certificate(context, certificate) != 1 ||
        SSL_CTX_use_PrivateKey(context, key) != 1) {
        SSL_CTX_free(context);
        throw std::runtime_error("server context");
    }
    return context;
}

void TestCertificate::WritePem(const std::string& certificateFile,
                               const std::string& keyFile) const {
    BioPtr out(BIO_new_file(certificateFile.c_str(), "wb"));
    if (!out || PEM_write_bio_X509(out.get(), certificate) != 1)
        throw std::runtime_error("cannot write " + certificateFile);
    out.reset(BIO_new_file(keyFile.c_str(), "wb"));
    if (!out ||
        PEM_write_bio_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("cannot write " + keyFile);
}

}  // namespace testing_support
