#pragma once
// Real servers on 127.0.0.1 for network tests: each starts one of the launchers in
// scripts/peers/ in a private folder, waits for the port it announces, and stops it by
// its PID when the object goes away. The launchers also end when the test process dies.

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace oxbrook::testing {

// Returns the folder of the peer launchers (scripts/peers of the source tree).
std::filesystem::path peersDir();

// Starts argv (argv[0] looked up on the PATH) with standard input from /dev/null and standard
// output and error written to log, appended when append and truncated first otherwise. Returns
// the child's PID, or -1 when it could not be started.
pid_t spawnLogged(std::vector<std::string> argv, const std::filesystem::path& log, bool append);

class TestPeer {
public:
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;
    // Stops the peer (SIGTERM to its PID, SIGKILL after a bounded wait) and reaps it.
    virtual ~TestPeer();

    // Returns the port the peer listens on, on 127.0.0.1.
    int port() const { return port_; }
    // Returns the PID of the launcher process.
    pid_t pid() const { return pid_; }
    // Returns the launcher's combined standard output and error so far (for failure messages).
    std::string log() const;
    // Stops the peer now; safe to call twice.
    void stop();

protected:
    // Starts `/usr/bin/python3 <peersDir>/<script> args... --port-file F --watch-pid P` in
    // workDir and waits up to `timeout` for the port file; raises std::runtime_error with the
    // launcher's log when it does not appear or the launcher ends first.
    TestPeer(const std::string& script, std::vector<std::string> args,
             const std::filesystem::path& workDir,
             std::chrono::milliseconds timeout = std::chrono::seconds(15));

private:
    std::filesystem::path logFile_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The pyftpdlib server: a user with full rights on `root` and, when `anonRoot` is given,
// anonymous (read-only unless anonWrite).
class FtpdPeer : public TestPeer {
public:
    // Starts the server; `workDir` holds its port file and log. Raises as TestPeer does.
    FtpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
             const std::string& user = "oxuser", const std::string& password = "oxpass",
             const std::filesystem::path& anonRoot = {}, bool anonWrite = false);
    std::string user, password;
};

// vsftpd with a local system user confined to `root` (the files there are handed to it).
// The user's password is set at every start: tests that run side by side must give the same
// user the same password.
class VsftpdPeer : public TestPeer {
public:
    // Starts the server; needs root for the system user. Raises as TestPeer does.
    VsftpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
               const std::string& user = "oxftp", const std::string& password = "oxpass");
    std::string user, password;
};

// ftp-proxy: an FTP proxy for USER user@host logins; without a host it goes to destPort on
// 127.0.0.1.
class FtpProxyPeer : public TestPeer {
public:
    // Starts the proxy. Raises as TestPeer does.
    FtpProxyPeer(const std::filesystem::path& workDir, int destPort);
};

// Dante (SOCKS 4 and 5); with a user name, SOCKS 5 logins against that system user.
class DantePeer : public TestPeer {
public:
    // Starts the server; an empty user means no authentication. Raises as TestPeer does.
    explicit DantePeer(const std::filesystem::path& workDir, const std::string& user = {},
                       const std::string& password = {});
};

// microsocks (SOCKS 5 only), optionally with a user name and password.
class MicrosocksPeer : public TestPeer {
public:
    // Starts the server; an empty user means no authentication. Raises as TestPeer does.
    explicit MicrosocksPeer(const std::filesystem::path& workDir, const std::string& user = {},
                            const std::string& password = {});
};

} // namespace oxbrook::testing
