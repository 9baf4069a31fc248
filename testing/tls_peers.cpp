#include "testing/tls_peers.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace oxbrook::testing {

namespace {

void run(const std::vector<std::string>& argv, const std::filesystem::path& log) {
    pid_t pid = spawnLogged(argv, log, true);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        throw std::runtime_error(argv[0] + " " + argv[1] + " failed: " + text.str());
    }
}

void issue(const std::filesystem::path& dir, const TestCertificates& c, const std::string& name,
           const std::string& cn, const std::string& altNames, const std::string& days) {
    const auto log = dir / "openssl.log";
    const std::string key = (dir / (name + ".key")).string();
    const std::string csr = (dir / (name + ".csr")).string();
    const std::string ext = (dir / (name + ".ext")).string();
    std::ofstream(ext) << "subjectAltName=" << altNames << "\n";
    run({"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + cn, "-keyout", key,
         "-out", csr},
        log);
    run({"openssl", "x509", "-req", "-in", csr, "-CA", c.caCert.string(), "-CAkey",
         (dir / "ca.key").string(), "-CAcreateserial", "-days", days, "-extfile", ext, "-out",
         (dir / (name + ".pem")).string()},
        log);
}

} // namespace

TestCertificates makeTestCertificates(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    TestCertificates c;
    c.caCert = dir / "ca.pem";
    run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj",
         "/CN=Oxbrook Test Authority", "-days", "2", "-keyout", (dir / "ca.key").string(), "-out",
         c.caCert.string()},
        dir / "openssl.log");
    const std::string local = "DNS:localhost,IP:127.0.0.1,IP:::1";
    issue(dir, c, "server", "localhost", local, "2");
    issue(dir, c, "other", "other.example", "DNS:other.example", "2");
    // A negative validity ends before it starts: expired from the moment it is made.
    issue(dir, c, "expired", "localhost", local, "-1");
    c.serverCert = dir / "server.pem";
    c.serverKey = dir / "server.key";
    c.otherCert = dir / "other.pem";
    c.otherKey = dir / "other.key";
    c.expiredCert = dir / "expired.pem";
    c.expiredKey = dir / "expired.key";
    return c;
}

std::string certificateFingerprint(const std::filesystem::path& pem) {
    const auto out = pem.parent_path() / (pem.filename().string() + ".fingerprint");
    std::filesystem::remove(out);
    run({"openssl", "x509", "-in", pem.string(), "-noout", "-fingerprint", "-sha256"}, out);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    // "sha256 Fingerprint=AB:CD:..." (the prefix's spelling differs between versions).
    return line.substr(line.find('=') + 1);
}

ProftpdPeer::ProftpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                         const std::filesystem::path& cert, const std::filesystem::path& key,
                         bool ipv6, bool sessionReuse)
    : TestPeer(
          "proftpd.py",
          [&] {
              std::vector<std::string> a = {"--dir",  workDir.string(), "--root",     root.string(),
                                            "--user", "oxpro",          "--password", "oxpass"};
              if (!cert.empty())
                  a.insert(a.end(), {"--cert", cert.string(), "--key", key.string()});
              if (!sessionReuse) a.push_back("--no-session-reuse");
              if (ipv6) a.push_back("--ipv6");
              return a;
          }(),
          workDir, std::chrono::seconds(60)) {}

ModernFtpdPeer::ModernFtpdPeer(const std::filesystem::path& workDir,
                               const std::filesystem::path& root, const std::filesystem::path& cert,
                               const std::filesystem::path& key, bool tlsRequired, bool ipv6)
    : TestPeer(
          "ftpd.py",
          [&] {
              std::vector<std::string> a = {"--root", root.string()};
              if (!cert.empty())
                  a.insert(a.end(), {"--cert", cert.string(), "--key", key.string()});
              if (tlsRequired) a.push_back("--tls-required");
              if (ipv6) a.push_back("--ipv6");
              return a;
          }(),
          workDir) {}

VsftpdTlsPeer::VsftpdTlsPeer(const std::filesystem::path& workDir,
                             const std::filesystem::path& root, const std::filesystem::path& cert,
                             const std::filesystem::path& key, bool implicit,
                             const std::string& user, const std::string& password)
    : TestPeer(
          "vsftpd.py",
          [&] {
              std::vector<std::string> a = {
                  "--dir", workDir.string(), "--root", root.string(), "--cert",     cert.string(),
                  "--key", key.string(),     "--user", user,          "--password", password};
              if (implicit) a.push_back("--implicit");
              return a;
          }(),
          workDir),
      user(user), password(password) {}

} // namespace oxbrook::testing
