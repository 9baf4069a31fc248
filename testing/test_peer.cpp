#include "testing/test_peer.h"

#include "testing/temp_dir.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace oxbrook::testing {

std::filesystem::path peersDir() {
    if (const char* src = std::getenv("OXBROOK_SOURCE_DIR"); src && *src)
        return std::filesystem::path(src) / "scripts" / "peers";
    return OXBROOK_PEERS_DIR;
}

pid_t spawnLogged(std::vector<std::string> argv, const std::filesystem::path& log, bool append) {
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(),
                                     O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

namespace {

bool reapWithin(pid_t pid, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

TestPeer::TestPeer(const std::string& script, std::vector<std::string> args,
                   const std::filesystem::path& workDir, std::chrono::milliseconds timeout) {
    std::filesystem::create_directories(workDir);
    auto portFile = workDir / (script + ".port");
    logFile_ = workDir / (script + ".log");
    std::filesystem::remove(portFile);
    std::vector<std::string> argv = {"/usr/bin/python3", (peersDir() / script).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(),
                {"--port-file", portFile.string(), "--watch-pid", std::to_string(getpid())});
    pid_ = spawnLogged(std::move(argv), logFile_, false);
    if (pid_ < 0) throw std::runtime_error("cannot start " + script);

    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (port_ == 0) {
        std::ifstream in(portFile);
        if (in >> port_ && port_ > 0) break;
        port_ = 0;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error(script + " ended before listening:\n" + log());
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            stop();
            throw std::runtime_error(script + " did not announce a port:\n" + log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TestPeer::~TestPeer() {
    stop();
}

void TestPeer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!reapWithin(pid_, std::chrono::seconds(5))) {
        kill(pid_, SIGKILL);
        reapWithin(pid_, std::chrono::seconds(5));
    }
    pid_ = -1;
}

std::string TestPeer::log() const {
    try {
        return readFile(logFile_);
    } catch (const std::exception&) {
        return {};
    }
}

FtpdPeer::FtpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                   const std::string& user_, const std::string& password_,
                   const std::filesystem::path& anonRoot, bool anonWrite)
    : TestPeer(
          "ftpd.py",
          [&] {
              std::vector<std::string> a = {"--root", root.string(), "--user",
                                            user_,    "--password",  password_};
              if (!anonRoot.empty()) a.insert(a.end(), {"--anon-root", anonRoot.string()});
              if (anonWrite) a.push_back("--anon-write");
              return a;
          }(),
          workDir),
      user(user_), password(password_) {}

VsftpdPeer::VsftpdPeer(const std::filesystem::path& workDir, const std::filesystem::path& root,
                       const std::string& user_, const std::string& password_)
    : TestPeer("vsftpd.py",
               {"--dir", workDir.string(), "--root", root.string(), "--user", user_, "--password",
                password_},
               workDir),
      user(user_), password(password_) {}

FtpProxyPeer::FtpProxyPeer(const std::filesystem::path& workDir, int destPort)
    : TestPeer("ftp_proxy.py", {"--dir", workDir.string(), "--dest-port", std::to_string(destPort)},
               workDir) {}

DantePeer::DantePeer(const std::filesystem::path& workDir, const std::string& user,
                     const std::string& password)
    : TestPeer("dante.py",
               user.empty()
                   ? std::vector<std::string>{"--dir", workDir.string()}
                   : std::vector<std::string>{"--dir", workDir.string(), "--auth", "username",
                                              "--user", user, "--password", password},
               workDir) {}

MicrosocksPeer::MicrosocksPeer(const std::filesystem::path& workDir, const std::string& user,
                               const std::string& password)
    : TestPeer("microsocks.py",
               user.empty() ? std::vector<std::string>{"--dir", workDir.string()}
                            : std::vector<std::string>{"--dir", workDir.string(), "--user", user,
                                                       "--password", password},
               workDir) {}

} // namespace oxbrook::testing
