#include "bench/engine_child.h"

#include "ftp/ftp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* verifyWord(Verify v) {
    switch (v) {
    case Verify::Off:
        return "off";
    case Verify::Digest:
        return "digest";
    default:
        return "default";
    }
}

} // namespace

std::vector<std::string> EngineCommand(const std::string& self, const std::string& what,
                                       const EngineTarget& target, Verify verify,
                                       const std::string& a, const std::string& b) {
    std::vector<std::string> args = {self,
                                     "--child",
                                     what,
                                     std::to_string(target.port),
                                     target.user,
                                     target.password,
                                     target.caFile.empty() ? "-" : target.caFile,
                                     verifyWord(verify),
                                     a};
    if (!b.empty()) args.push_back(b);
    return args;
}

int EngineChild(int argc, char** argv) {
    // --child what port user password ca verify a [b]
    if (argc < 9) return 2;
    const std::string what = argv[2], ca = argv[6], verify = argv[7], a = argv[8];
    const std::string b = argc > 9 ? argv[9] : "";
    const double entered = steadySeconds();
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = std::atoi(argv[3]);
    ftp.Username = argv[4];
    ftp.Password = argv[5];
    ftp.Passive = true;
    ftp.RecvBufferSize = 65536;
    ftp.SendBufferSize = 65536;
    if (ca != "-") {
        ftp.Encryption = feExplicitTls;
        ftp.CaFile = ca;
    }
    ftp.VerifyTransfers = verify != "off";
    try {
        // No time-out: a plain connect in this thread, as a program without a window makes it.
        ftp.Connect(true, 0);
        if (what == "get") {
            ftp.Retrieve(a, b, true, false);
        } else if (what == "put") {
            ftp.StoreFile(a, b, false);
        } else if (what == "list") {
            const double loggedIn = steadySeconds();
            ftp.ChangeDirectory(a);
            ftp.ListDirectory(nullptr, "", true);
            const int count = ftp.DirectoryListing().Count();
            // When main was entered, the login was over and the entries were parsed, for the
            // benchmark to tell the listing's phases apart.
            std::printf("%d entries\nphases %.6f %.6f %.6f\n", count, entered, loggedIn,
                        steadySeconds());
        }
        if (!ftp.LastVerification.empty())
            std::printf("engine: %s verified by %s\n", a.c_str(), ftp.LastVerification.c_str());
        ftp.Disconnect();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine: %s\n", e.what());
        return 1;
    }
    // A run meant to pay for a digest that compared only a size (or nothing) measured nothing.
    if (verify == "digest" &&
        (ftp.LastVerification.empty() || ftp.LastVerification.rfind("size ", 0) == 0)) {
        std::fprintf(stderr, "engine: %s was not verified by a digest\n", a.c_str());
        return 3;
    }
    // The run is over once the server said goodbye: freeing a listing of 20,000 entries at
    // the end of a process (about 2 ms here) is no part of the transfer or the listing, and
    // the program itself never ends after one.
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace bench
