#pragma once
// The engine's side of ftp_bench: the same program started again with --child, so that the
// engine's transfers are measured as a process of their own, as curl's and lftp's are.

#include <string>
#include <vector>

namespace bench {

// How the engine meets a server: its port and login, and for explicit TLS the authority that
// signed its certificate ("" for plain FTP).
struct EngineTarget {
    int port = 0;
    std::string user, password;
    std::string caFile;
};

// What the engine checks after a transfer: what it checks by default (the server's digest, or
// the size where it offers none), nothing, or the digest, the run failing when none was compared.
enum class Verify { Default, Off, Digest };

// Returns the command line that makes `self` (this program) run one engine transfer: "get"
// (remote a to local b), "put" (local a to remote b) or "list" (the folder a, parsed).
std::vector<std::string> EngineCommand(const std::string& self, const std::string& what,
                                       const EngineTarget& target, Verify verify,
                                       const std::string& a, const std::string& b = {});

// Runs the transfer of a command line that EngineCommand made (argv[1] is "--child"), with
// 64 KiB buffers, passive and binary. Returns the process's exit status: 0 when it succeeded.
int EngineChild(int argc, char** argv);

} // namespace bench
