// FTPS against real servers: vsftpd (explicit and implicit, data connections must resume the
// control session), ProFTPD (explicit, digests over TLS) and pyftpdlib (explicit, on ::1);
// the certificate checks, the three answers to the trust question, a wrong host name, an
// expired certificate, and the plain fall-back only when the site allows it.

#include "ftp/ftp.h"
#include "ftp/socket/tls_io_handler.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"
#include "testing/tls_peers.h"

#include <gtest/gtest.h>

using namespace oxbrook::testing;
namespace fs = std::filesystem;

namespace {

enum class Kind { VsftpdExplicit, VsftpdImplicit, ProftpdExplicit, PyftpdlibIPv6 };

struct Case {
    const char* name;
    Kind kind;
    bool passive;
};

class TlsServer : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        certs = std::make_unique<TestCertificates>(makeTestCertificates(certDir->path()));
    }
    static void TearDownTestSuite() { certs.reset(); }
    static inline std::unique_ptr<TempDir> certDir = std::make_unique<TempDir>();
    static inline std::unique_ptr<TestCertificates> certs;
};

TEST_P(TlsServer, TrustedCertificateListsAndTransfersOverTls) {
    const Case c = GetParam();
    TempDir tmp;
    fs::create_directories(tmp / "root");
    const std::string bytes(300 * 1024 + 5, 'x');
    writeFile(tmp / "root" / "there.bin", bytes);
    std::unique_ptr<TestPeer> peer;
    TNetFTP ftp;
    switch (c.kind) {
    case Kind::VsftpdExplicit:
    case Kind::VsftpdImplicit:
        peer = std::make_unique<VsftpdTlsPeer>(tmp / "peer", tmp / "root", certs->serverCert,
                                               certs->serverKey, c.kind == Kind::VsftpdImplicit);
        ftp.Username = "oxftp";
        break;
    case Kind::ProftpdExplicit:
        peer = std::make_unique<ProftpdPeer>(tmp / "peer", tmp / "root", certs->serverCert,
                                             certs->serverKey);
        ftp.Username = "oxpro";
        break;
    case Kind::PyftpdlibIPv6:
        peer = std::make_unique<ModernFtpdPeer>(tmp / "peer", tmp / "root", certs->serverCert,
                                                certs->serverKey, true, true);
        ftp.Username = "oxuser";
        break;
    }
    ftp.Password = "oxpass";
    ftp.Host = c.kind == Kind::PyftpdlibIPv6 ? "::1" : "localhost";
    ftp.Port = peer->port();
    ftp.Passive = c.passive;
    ftp.Encryption = c.kind == Kind::VsftpdImplicit ? feImplicitTls : feExplicitTls;
    ftp.CaFile = certs->caCert.string();
    int asked = 0;
    ftp.OnCertificate = [&](const TNetCertificateInfo&) {
        ++asked;
        return taCancel;
    };
    ftp.ReadTimeout = 20000;
    ftp.Connect(true, 10000);
    EXPECT_EQ(asked, 0) << "a certificate of a trusted authority for this host is not asked";
    EXPECT_TRUE(ftp.TLSActive());
    EXPECT_TRUE(ftp.DataProtected());
    EXPECT_EQ(ftp.ServerCertificate.Fingerprint, certificateFingerprint(certs->serverCert));

    ftp.ListDirectory(nullptr, "", true);
    ASSERT_EQ(ftp.DirectoryListing().Count(), 1) << peer->log();
    EXPECT_EQ(ftp.DirectoryListing()[0].ByteSize, static_cast<int64_t>(bytes.size()));
    ftp.Retrieve("there.bin", (tmp / "back.bin").string(), true, false);
    EXPECT_EQ(readFile(tmp / "back.bin"), bytes);
    writeFile(tmp / "up.bin", bytes + "tail");
    ftp.StoreFile((tmp / "up.bin").string(), "up.bin", false);
    EXPECT_EQ(readFile(tmp / "root" / "up.bin"), bytes + "tail");
    EXPECT_FALSE(ftp.LastVerification.empty());
    if (c.kind == Kind::ProftpdExplicit) {
        EXPECT_EQ(ftp.LastVerification.rfind("SHA-256", 0), 0u);
    }
    ftp.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(
    Peers, TlsServer,
    ::testing::Values(Case{"vsftpdExplicitPassive", Kind::VsftpdExplicit, true},
                      Case{"vsftpdExplicitActive", Kind::VsftpdExplicit, false},
                      Case{"vsftpdImplicitPassive", Kind::VsftpdImplicit, true},
                      Case{"proftpdExplicitPassive", Kind::ProftpdExplicit, true},
                      Case{"proftpdExplicitActive", Kind::ProftpdExplicit, false},
                      Case{"pyftpdlibIPv6Passive", Kind::PyftpdlibIPv6, true}),
    [](const auto& info) { return std::string(info.param.name); });

class TrustQuestion : public TlsServer {};

// One vsftpd with a certificate of an authority the system does not know: the user is asked
// with the details; each answer does what it says.
TEST_F(TrustQuestion, EachAnswerDoesWhatItSaysAndAlwaysIsRemembered) {
    TempDir tmp;
    fs::create_directories(tmp / "root");
    VsftpdTlsPeer peer(tmp / "peer", tmp / "root", certs->serverCert, certs->serverKey, false);
    std::vector<std::string> trusted;
    auto connect = [&](TNetTrustAnswer answer, int& asked, TNetCertificateInfo& seen) {
        TNetFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.Username = peer.user;
        ftp.Password = peer.password;
        ftp.Passive = true;
        ftp.Encryption = feExplicitTls;
        ftp.TrustedFingerprints = trusted;
        ftp.OnCertificate = [&](const TNetCertificateInfo& info) {
            ++asked;
            seen = info;
            return answer;
        };
        ftp.Connect(true, 10000);
        ftp.ListDirectory(nullptr, "", true);
        trusted = ftp.TrustedFingerprints;
        return ftp.TLSActive();
    };
    int asked = 0;
    TNetCertificateInfo seen;
    EXPECT_THROW(connect(taCancel, asked, seen), ENetCertificateRefused);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(seen.Subject, "CN=localhost");
    EXPECT_EQ(seen.Issuer, "CN=Oxbrook Test Authority");
    EXPECT_EQ(seen.Fingerprint, certificateFingerprint(certs->serverCert));
    EXPECT_NE(seen.Problem.find("local issuer"), std::string::npos) << seen.Problem;
    EXPECT_FALSE(seen.ValidFrom.empty());
    EXPECT_FALSE(seen.ValidUntil.empty());

    asked = 0;
    EXPECT_TRUE(connect(taTrustOnce, asked, seen));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(trusted.empty()) << "trusting once remembers nothing";

    asked = 0;
    EXPECT_TRUE(connect(taAlwaysTrust, asked, seen));
    EXPECT_EQ(trusted, std::vector<std::string>{seen.Fingerprint});
    asked = 0;
    EXPECT_TRUE(connect(taCancel, asked, seen));
    EXPECT_EQ(asked, 0) << "a remembered certificate is not asked again";
}

// Certificates of the trusted authority that are wrong all the same: for another host, or
// expired. With nobody to ask they are refused; the question says why.
TEST_F(TrustQuestion, WrongHostAndExpiredCertificatesAreRefused) {
    struct Row {
        fs::path cert, key;
        const char* problem;
    };
    for (const Row& r : {Row{certs->otherCert, certs->otherKey, "not issued for localhost"},
                         Row{certs->expiredCert, certs->expiredKey, "expired"}}) {
        TempDir tmp;
        fs::create_directories(tmp / "root");
        ModernFtpdPeer peer(tmp / "peer", tmp / "root", r.cert, r.key, false, false);
        TNetFTP ftp;
        ftp.Host = "localhost";
        ftp.Port = peer.port();
        ftp.Username = peer.user;
        ftp.Password = peer.password;
        ftp.Encryption = feExplicitTls;
        ftp.CaFile = certs->caCert.string();
        try {
            ftp.Connect(true, 10000);
            ADD_FAILURE() << r.problem;
        } catch (const ENetCertificateRefused& e) {
            EXPECT_NE(std::string(e.what()).find(r.problem), std::string::npos) << e.what();
        }
        EXPECT_FALSE(ftp.Connected());
    }
}

// A plain server: "TLS if available" goes on without TLS; explicit TLS does not.
TEST(PlainServer, TlsIfAvailableFallsBackAndExplicitRefuses) {
    TempDir tmp;
    fs::create_directories(tmp / "root");
    FtpdPeer peer(tmp / "peer", tmp / "root");
    for (TNetFtpEncryption mode : {feTlsIfAvailable, feExplicitTls}) {
        TNetFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.Username = peer.user;
        ftp.Password = peer.password;
        ftp.Passive = true;
        ftp.Encryption = mode;
        if (mode == feTlsIfAvailable) {
            ftp.Connect(true, 10000);
            EXPECT_FALSE(ftp.TLSActive());
            EXPECT_FALSE(ftp.DataProtected());
            ftp.ListDirectory(nullptr, "", true);
        } else {
            EXPECT_THROW(ftp.Connect(true, 10000), ENetProtocolReplyError);
            EXPECT_FALSE(ftp.Connected());
        }
    }
}

} // namespace
