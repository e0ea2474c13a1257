#pragma once
// A freshly made self-signed certificate for "localhost" with its key, for
// the test servers: no certificate files in the tree, no tool to run.
#include <openssl/types.h>

#include <memory>
#include <string>

namespace testing_support {

class TestCertificate {
public:
    // expired: valid from two days ago until yesterday.
    explicit TestCertificate(bool expired = false);
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    // A new server context using the certificate; the caller frees it.
    SSL_CTX* NewServerContext() const;
    // Writes the certificate and the key as PEM files.
    void WritePem(const std::string& certificateFile, const std::string& keyFile) const;

private:
    EVP_PKEY* key;
    X509* certificate;
};

}  // namespace testing_support
