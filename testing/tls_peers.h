#pragma once
// Certificates made with the openssl command for each test, and the servers that speak today's
// FTP: ProFTPD (MLSD, HASH, FTPS), pyftpdlib with TLS or on ::1, vsftpd with explicit or
// implicit TLS that demands session reuse on data connections.

#include "testing/test_peer.h"

#include <filesystem>
#include <string>

namespace oxbrook::testing {

// A private authority and the certificates it signed, all PEM files in one folder.
struct TestCertificates {
    std::filesystem::path caCert;
    // Issued for localhost, 127.0.0.1 and ::1, valid for two days.
    std::filesystem::path serverCert, serverKey;
    // Issued for other.example only.
    std::filesystem::path otherCert, otherKey;
    // Issued for localhost, expired yesterday.
    std::filesystem::path expiredCert, expiredKey;
};

// Makes the authority and certificates in dir with `openssl req` and `openssl x509`. Raises
// std::runtime_error with openssl's output when a step fails.
TestCertificates makeTestCertificates(const std::filesystem::path& dir);

// Returns the SHA-256 fingerprint of a PEM certificate as "AB:CD:...".
std::string certificateFingerprint(const std::filesystem::path& pem);

// ProFTPD from its unpacked folder (unpacked on first use when missing), with a user of our
// own on `root`, mod_digest on, and explicit FTPS when cert is given (data connections must
// resume the control session unless sessionReuse is false).
class ProftpdPeer : public TestPeer {
public:
    ProftpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                const std::filesystem::path& cert = {}, const std::filesystem::path& key = {},
                bool ipv6 = false, bool sessionReuse = true);
    std::string user = "oxpro", password = "oxpass";
};

// pyftpdlib with AUTH TLS offered (required when tlsRequired) and/or on ::1.
class ModernFtpdPeer : public TestPeer {
public:
    ModernFtpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                   const std::filesystem::path& cert, const std::filesystem::path& key,
                   bool tlsRequired, bool ipv6);
    std::string user = "oxuser", password = "oxpass";
};

// vsftpd with TLS required for logins and data (explicit, or implicit from the first byte).
// The system user is handled as VsftpdPeer handles it.
class VsftpdTlsPeer : public TestPeer {
public:
    VsftpdTlsPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                  const std::filesystem::path& cert, const std::filesystem::path& key,
                  bool implicit, const std::string& user = "oxftp",
                  const std::string& password = "oxpass");
    std::string user, password;
};

} // namespace oxbrook::testing
