#include "sim/relay/CertificateAuthority.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <utility>
#include <vector>

namespace corvane::sim {

namespace {

constexpr long kValidSeconds = 30L * 24 * 3600;

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

std::string bioText(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

std::optional<std::string> keyPem(EVP_PKEY* key) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return std::nullopt;
    return bioText(bio.get());
}

std::optional<std::string> certPem(X509* cert) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1) return std::nullopt;
    return bioText(bio.get());
}

KeyPtr readKey(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return KeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

CertPtr readCert(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return CertPtr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

bool addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// A certificate for `key` named `commonName`, without extensions and unsigned; the issuer
// name is the subject's until set otherwise.
CertPtr newCertificate(EVP_PKEY* key, const std::string& commonName) {
    CertPtr cert(X509_new());
    if (!cert) return nullptr;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
    serial[0] &= 0x7F;  // a positive serial number
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    bool ok = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())) != nullptr;
    BN_free(bn);
    if (!ok) return nullptr;
    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Corvane relay"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_set_pubkey(cert.get(), key) != 1) return nullptr;
    return cert;
}

}  // namespace

std::optional<CertificateAuthority> CertificateAuthority::create(const std::string& commonName) {
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key) return std::nullopt;
    CertPtr cert = newCertificate(key.get(), commonName);
    if (!cert) return std::nullopt;
    bool ok = addExtension(cert.get(), cert.get(), NID_basic_constraints, "critical,CA:TRUE") &&
              addExtension(cert.get(), cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign") &&
              addExtension(cert.get(), cert.get(), NID_subject_key_identifier, "hash");
    if (!ok || X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) return std::nullopt;
    auto certText = certPem(cert.get());
    auto keyText = keyPem(key.get());
    if (!certText || !keyText) return std::nullopt;
    CertificateAuthority ca;
    ca.ca_ = CertifiedKey{std::move(*certText), std::move(*keyText)};
    return ca;
}

std::optional<CertifiedKey> CertificateAuthority::issue(const std::string& dnsName,
                                                        const std::string& ipAddress) const {
    KeyPtr caKey = readKey(ca_.keyPem);
    CertPtr caCert = readCert(ca_.certificatePem);
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!caKey || !caCert || !key) return std::nullopt;
    CertPtr cert = newCertificate(key.get(), dnsName);
    if (!cert) return std::nullopt;
    X509_set_issuer_name(cert.get(), X509_get_subject_name(caCert.get()));
    std::string names = "DNS:" + dnsName;
    if (!ipAddress.empty()) names += ",IP:" + ipAddress;
    bool ok = addExtension(cert.get(), caCert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
              addExtension(cert.get(), caCert.get(), NID_key_usage, "critical,digitalSignature") &&
              addExtension(cert.get(), caCert.get(), NID_ext_key_usage, "serverAuth") &&
              addExtension(cert.get(), caCert.get(), NID_subject_alt_name, names) &&
              addExtension(cert.get(), caCert.get(), NID_authority_key_identifier, "keyid:always");
    if (!ok || X509_sign(cert.get(), caKey.get(), EVP_sha256()) == 0) return std::nullopt;
    auto certText = certPem(cert.get());
    auto keyText = keyPem(key.get());
    if (!certText || !keyText) return std::nullopt;
    return CertifiedKey{std::move(*certText), std::move(*keyText)};
}

}  // namespace corvane::sim
