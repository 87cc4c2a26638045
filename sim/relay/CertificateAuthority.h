#pragma once

#include <memory>
#include <optional>
#include <string>

namespace corvane::sim {

// A certificate and its private key, both PEM.
struct CertifiedKey {
    std::string certificatePem;
    std::string keyPem;
};

// A throw-away certificate authority made at run time: the relay (and each test) creates its
// own, hands the CA certificate to the tool as the extra CA to trust, and serves a
// certificate issued by it. Keys are P-256; certificates last 30 days.
class CertificateAuthority {
  public:
    // None when OpenSSL fails.
    static std::optional<CertificateAuthority> create(const std::string& commonName);

    const std::string& certificatePem() const { return ca_.certificatePem; }
    // A server certificate for `dnsName` and, when not empty, `ipAddress`.
    std::optional<CertifiedKey> issue(const std::string& dnsName,
                                      const std::string& ipAddress = {}) const;

  private:
    CertificateAuthority() = default;
    CertifiedKey ca_;
};

}  // namespace corvane::sim
