#pragma once

// Throw-away TLS certificates for the tests, made with OpenSSL in a temporary folder that goes with
// the object: a certificate authority and a server certificate it signed for this machine
// (127.0.0.1, ::1, localhost), a self-signed certificate for the same names, and a certificate of the
// same authority for another host.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace protocol_test {

class TestCertificates
{
public:
    TestCertificates()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kpv-tls-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a folder for the test certificates");
        dir = pattern;
        const Key caKey = newKey();
        const Cert ca = newCertificate("Autoridade de teste", caKey.get(), nullptr, caKey.get(),
                                       "critical,CA:TRUE", nullptr);
        caFile = write("ca.pem", ca.get());
        const std::string here = "IP:127.0.0.1,IP:::1,DNS:localhost";
        const Key serverKey = newKey();
        certFile = write("server.pem",
                         newCertificate("127.0.0.1", serverKey.get(), ca.get(), caKey.get(), "CA:FALSE", here.c_str())
                             .get());
        keyFile = write("server.key", serverKey.get());
        const Key selfKey = newKey();
        selfSignedCert = write(
            "self.pem", newCertificate("127.0.0.1", selfKey.get(), nullptr, selfKey.get(), "CA:FALSE", here.c_str()).get());
        selfSignedKey = write("self.key", selfKey.get());
        const Key otherKey = newKey();
        otherHostCert = write("other.pem", newCertificate("app9.example", otherKey.get(), ca.get(), caKey.get(),
                                                          "CA:FALSE", "DNS:app9.example")
                                               .get());
        otherHostKey = write("other.key", otherKey.get());
    }
    ~TestCertificates()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TestCertificates(const TestCertificates &) = delete;
    TestCertificates &operator=(const TestCertificates &) = delete;

    std::string dir;
    std::string caFile;                        // the authority the clients trust
    std::string certFile, keyFile;             // signed by it for this machine
    std::string selfSignedCert, selfSignedKey; // signed by nobody the clients trust
    std::string otherHostCert, otherHostKey;   // signed by it, for app9.example only

private:
    using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
    using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

    static Key newKey()
    {
        Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
        if (!key)
            throw std::runtime_error("cannot make a test key");
        return key;
    }

    static void extend(X509 *cert, X509 *issuer, int nid, const char *value)
    {
        X509V3_CTX context;
        X509V3_set_ctx(&context, issuer ? issuer : cert, cert, nullptr, nullptr, 0);
        X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        if (!extension || X509_add_ext(cert, extension, -1) != 1)
            throw std::runtime_error(std::string("cannot add the test extension ") + value);
        X509_EXTENSION_free(extension);
    }

    // A certificate for key named cn, signed by issuer (nullptr: by itself) with issuerKey.
    static Cert newCertificate(const char *cn, EVP_PKEY *key, X509 *issuer, EVP_PKEY *issuerKey,
                               const char *constraints, const char *altNames)
    {
        static long serial = 1;
        Cert cert(X509_new(), &X509_free);
        X509_set_version(cert.get(), 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
        X509_set_pubkey(cert.get(), key);
        X509_NAME *name = X509_get_subject_name(cert.get());
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(cn), -1, -1, 0);
        X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
        extend(cert.get(), issuer, NID_basic_constraints, constraints);
        if (altNames)
            extend(cert.get(), issuer, NID_subject_alt_name, altNames);
        if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0)
            throw std::runtime_error("cannot sign a test certificate");
        return cert;
    }

    template<typename T>
    std::string write(const char *fileName, T *item)
    {
        const std::string path = dir + "/" + fileName;
        std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new_file(path.c_str(), "w"), &BIO_free);
        bool written;
        if constexpr (std::is_same_v<T, X509>)
            written = out && PEM_write_bio_X509(out.get(), item) == 1;
        else
            written = out && PEM_write_bio_PrivateKey(out.get(), item, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        if (!written)
            throw std::runtime_error("cannot write " + path);
        return path;
    }
};

} // namespace protocol_test
