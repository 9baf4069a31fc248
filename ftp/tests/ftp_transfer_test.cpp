// Transfers and directory commands against real FTP servers on 127.0.0.1: pyftpdlib and
// vsftpd, passive and active, downloads with resume, stores, appends, unique stores,
// listings, SITE CHMOD and an abort in the middle of a download.

#include "ftp/ftp.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace oxbrook::testing;
namespace fs = std::filesystem;

namespace {

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

enum class Server { Pyftpdlib, Vsftpd };

struct Mode {
    Server server;
    bool passive;
};

std::string modeName(const ::testing::TestParamInfo<Mode>& info) {
    return std::string(info.param.server == Server::Pyftpdlib ? "pyftpdlib" : "vsftpd") +
           (info.param.passive ? "Passive" : "Active");
}

class RealServer : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        root = tmp / "root";
        local = tmp / "local";
        fs::create_directories(root);
        fs::create_directories(local);
        writeFile(root / "hello.txt", "hello, world\n");
        big = randomBytes(3 * 1024 * 1024 + 17, 7);
        writeFile(root / "big.bin", big);
        fs::create_directories(root / "sub");
        if (GetParam().server == Server::Pyftpdlib)
            peer = std::make_unique<FtpdPeer>(tmp / "peer", root, "joe", "pw");
        else
            peer = std::make_unique<VsftpdPeer>(tmp / "peer", root, "oxftp", "oxpass");
        user = GetParam().server == Server::Pyftpdlib ? "joe" : "oxftp";
        ftp.Host = "127.0.0.1";
        ftp.Port = peer->port();
        ftp.Username = user;
        ftp.Password = GetParam().server == Server::Pyftpdlib ? "pw" : "oxpass";
        ftp.Passive = GetParam().passive;
        ftp.RecvBufferSize = 65536;
        ftp.SendBufferSize = 65536;
        ftp.Connect(true, 5000);
    }
    TempDir tmp;
    fs::path root, local;
    std::string big, user;
    std::unique_ptr<TestPeer> peer;
    TNetFTP ftp;
};

TEST_P(RealServer, DownloadAndUploadRoundTrip) {
    ftp.Retrieve("big.bin", (local / "big.bin").string(), false, false);
    EXPECT_EQ(readFile(local / "big.bin"), big);

    std::string up = randomBytes(1024 * 1024 + 3, 11);
    writeFile(local / "up.bin", up);
    ftp.StoreFile((local / "up.bin").string(), "up.bin", false);
    EXPECT_EQ(readFile(root / "up.bin"), up);
    EXPECT_EQ(ftp.FileSize("up.bin"), static_cast<int64_t>(up.size()));
    EXPECT_TRUE(ftp.Connected());
}

TEST_P(RealServer, ResumeAppendsTheMissingPart) {
    writeFile(local / "big.bin", big.substr(0, 1000));
    ftp.Retrieve("big.bin", (local / "big.bin").string(), false, true);
    EXPECT_TRUE(ftp.ResumeSupported);
    EXPECT_EQ(readFile(local / "big.bin"), big);

    // Overwrite without resume starts again from nothing.
    writeFile(local / "hello.txt", "something much longer than the remote file");
    ftp.Retrieve("hello.txt", (local / "hello.txt").string(), true, false);
    EXPECT_EQ(readFile(local / "hello.txt"), "hello, world\n");

    EXPECT_THROW(ftp.Retrieve("hello.txt", (local / "hello.txt").string(), false, false),
                 ENetFTPFileAlreadyExists);
    EXPECT_THROW(ftp.Retrieve("hello.txt", (local / "hello.txt").string(), true, true),
                 ENetFTPFileAlreadyExists);
}

TEST_P(RealServer, AppendAndUniqueStore) {
    writeFile(local / "tail.txt", "more\n");
    ftp.StoreFile((local / "tail.txt").string(), "hello.txt", true);
    EXPECT_EQ(readFile(root / "hello.txt"), "hello, world\nmore\n");

    auto before = std::distance(fs::directory_iterator(root), fs::directory_iterator());
    ftp.StoreFile((local / "tail.txt").string(), "", false);
    auto after = std::distance(fs::directory_iterator(root), fs::directory_iterator());
    EXPECT_EQ(after, before + 1) << "STOU makes a new file";
    EXPECT_EQ(readFile(root / "hello.txt"), "hello, world\nmore\n");
}

TEST_P(RealServer, DirectoryCommands) {
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
    ftp.MakeDirectory("made");
    ftp.ChangeDirectory("made");
    EXPECT_EQ(ftp.CurrentDirectory(), "/made");
    ftp.ChangeDirectory("/");
    EXPECT_TRUE(fs::is_directory(root / "made"));
    ftp.RenameFile("hello.txt", "made/renamed.txt");
    EXPECT_TRUE(fs::exists(root / "made" / "renamed.txt"));
    EXPECT_EQ(ftp.FileSize("made/renamed.txt"), 13);
    EXPECT_EQ(ftp.FileSize("nothing-here"), -1);
    EXPECT_EQ(ftp.SendCommand("SITE CHMOD 600 made/renamed.txt", -1), 200);
    struct stat st {};
    ASSERT_EQ(stat((root / "made" / "renamed.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ftp.DeleteFile("made/renamed.txt");
    ftp.RemoveDirectory("made");
    EXPECT_FALSE(fs::exists(root / "made"));
    EXPECT_THROW(ftp.RemoveDirectory("made"), ENetProtocolReplyError);
    EXPECT_THROW(ftp.ChangeDirectory("nowhere"), ENetProtocolReplyError);
    EXPECT_TRUE(ftp.Connected());
}

TEST_P(RealServer, ListingIsParsed) {
    std::vector<std::string> lines;
    ftp.ListDirectory(&lines, "", true);
    EXPECT_EQ(lines, ftp.RawListing);
    auto& list = ftp.DirectoryListing();
    ASSERT_EQ(list.Count(), 3) << lines.size();
    std::map<std::string, const TNetFTPListItem*> byName;
    for (const auto& e : list)
        byName[e.EntryName] = &e;
    ASSERT_TRUE(byName.count("big.bin"));
    EXPECT_EQ(byName["big.bin"]->ByteSize, static_cast<int64_t>(big.size()));
    EXPECT_EQ(byName["big.bin"]->EntryKind, EntryFile);
    EXPECT_EQ(byName["big.bin"]->OwnerRights, "rw-");
    ASSERT_TRUE(byName.count("sub"));
    EXPECT_EQ(byName["sub"]->EntryKind, EntryDirectory);
    ASSERT_TRUE(byName.count("hello.txt"));
    EXPECT_FALSE(byName["hello.txt"]->ModifiedAt.IsZero());
    EXPECT_EQ(&ftp.DirectoryListing(), &list) << "kept until the next listing";

    ftp.ListDirectory(nullptr, "", false);
    EXPECT_EQ(ftp.RawListing.size(), 3u);
}

// Runs a transfer that the test aborts: the server either reports the abort (426 or 450, a
// failure) or had already finished (a success).
void abortedTransfer(const std::function<void()>& transfer) {
    try {
        transfer();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_TRUE(e.ReplyErrorCode == 426 || e.ReplyErrorCode == 450) << e.ReplyErrorCode;
    }
}

TEST_P(RealServer, AbortDuringDownloadKeepsThePartAndTheConnection) {
    std::string huge = randomBytes(64 * 1024 * 1024, 3);
    writeFile(root / "huge.bin", huge);
    ftp.RecvBufferSize = 4096;
    bool aborted = false;
    std::vector<std::string> statuses;
    ftp.OnStatus = [&](TNetComponent*, TNetStatus, const std::string& text) {
        statuses.push_back(text);
    };
    ftp.OnWork = [&](TNetComponent*, TWorkMode, int64_t total) {
        if (!aborted && total >= 65536) {
            aborted = true;
            ftp.SetTransferType(ftASCII); // ignored while the transfer runs
            ftp.AbortTransfer();
        }
    };
    TNetMemoryStream part;
    abortedTransfer([&] { ftp.RetrieveToStream("huge.bin", part, false); });
    EXPECT_TRUE(aborted);
    EXPECT_LT(part.Size(), static_cast<int64_t>(huge.size()));
    EXPECT_EQ(part.ToString(), huge.substr(0, static_cast<size_t>(part.Size())));
    EXPECT_EQ(ftp.TransferType(), ftBinary);
    ftp.OnWork = nullptr;
    // Whatever the server answered to ABOR, the next command finds the control in step.
    ftp.ReadTimeout = 5000;
    int code = ftp.SendCommand("NOOP", -1);
    while (code != 200)
        code = ftp.ReadReply();
    EXPECT_EQ(code, 200);
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Transfer complete"), statuses.end());
}

TEST_P(RealServer, AbortDuringUploadKeepsTheConnection) {
    TNetMemoryStream source;
    std::string body = randomBytes(64 * 1024 * 1024, 5);
    source.Write(body.data(), static_cast<int64_t>(body.size()));
    ftp.SendBufferSize = 4096;
    bool aborted = false;
    ftp.OnWork = [&](TNetComponent*, TWorkMode, int64_t total) {
        if (!aborted && total >= 65536) {
            aborted = true;
            ftp.AbortTransfer();
        }
    };
    ftp.ReadTimeout = 5000;
    abortedTransfer([&] { ftp.Store(source, "partial.bin", false); });
    EXPECT_TRUE(aborted);
    ftp.OnWork = nullptr;
    int code = ftp.SendCommand("NOOP", -1);
    while (code != 200)
        code = ftp.ReadReply();
    EXPECT_EQ(code, 200);
    EXPECT_LT(fs::file_size(root / "partial.bin"), body.size());
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServer,
                         ::testing::Values(Mode{Server::Pyftpdlib, true},
                                           Mode{Server::Pyftpdlib, false},
                                           Mode{Server::Vsftpd, true}, Mode{Server::Vsftpd, false}),
                         modeName);

} // namespace

namespace {

// Through a real SOCKS server: the control connection and passive data connections go through
// it; active data connections come straight from the server.
class ThroughSocks : public ::testing::TestWithParam<TSocksVersion> {};

TEST_P(ThroughSocks, ListAndDownloadInBothModes) {
    TempDir tmp;
    fs::create_directories(tmp / "root");
    writeFile(tmp / "root" / "f.txt", "through socks\n");
    FtpdPeer ftpd(tmp / "ftpd", tmp / "root", "joe", "pw");
    DantePeer dante(tmp / "dante");
    for (bool passive : {true, false}) {
        TNetFTP ftp;
        ftp.Host = "localhost";
        ftp.Port = ftpd.port();
        ftp.Username = "joe";
        ftp.Password = "pw";
        ftp.Passive = passive;
        ftp.SocksInfo.Version = GetParam();
        ftp.SocksInfo.Host = "127.0.0.1";
        ftp.SocksInfo.Port = dante.port();
        std::vector<std::string> statuses;
        ftp.OnStatus = [&](TNetComponent*, TNetStatus, const std::string& text) {
            statuses.push_back(text);
        };
        ftp.Connect(true, 5000);
        TNetMemoryStream out;
        ftp.RetrieveToStream("f.txt", out, false);
        EXPECT_EQ(out.ToString(), "through socks\n") << passive;
        ftp.ListDirectory(nullptr, "", true);
        ASSERT_EQ(ftp.DirectoryListing().Count(), 1);
        EXPECT_EQ(ftp.DirectoryListing()[0].EntryName, "f.txt");
        if (passive) {
            bool toControlHost = false;
            for (const auto& s : statuses)
                toControlHost =
                    toControlHost || s.find("connecting to localhost:") != std::string::npos;
            EXPECT_TRUE(toControlHost)
                << "passive data goes to the host the SOCKS server was asked for";
        }
        ftp.Disconnect();
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ThroughSocks, ::testing::Values(svSocks4, svSocks5));

TEST(ThroughSocksWithPassword, PassiveDataCarriesTheSameCredentials) {
    TempDir tmp;
    fs::create_directories(tmp / "root");
    writeFile(tmp / "root" / "f.txt", "guarded\n");
    FtpdPeer ftpd(tmp / "ftpd", tmp / "root", "joe", "pw");
    MicrosocksPeer micro(tmp / "micro", "su", "sp");
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = ftpd.port();
    ftp.Username = "joe";
    ftp.Password = "pw";
    ftp.Passive = true;
    ftp.SocksInfo.Version = svSocks5;
    ftp.SocksInfo.Authentication = saUsernamePassword;
    ftp.SocksInfo.Host = "127.0.0.1";
    ftp.SocksInfo.Port = micro.port();
    ftp.SocksInfo.Username = "su";
    ftp.SocksInfo.Password = "sp";
    ftp.Connect(true, 5000);
    TNetMemoryStream out;
    ftp.RetrieveToStream("f.txt", out, false);
    EXPECT_EQ(out.ToString(), "guarded\n");
    writeFile(tmp / "up.txt", "up via socks\n");
    ftp.StoreFile((tmp / "up.txt").string(), "up.txt", false);
    EXPECT_EQ(readFile(tmp / "root" / "up.txt"), "up via socks\n");
}

} // namespace

namespace {

// A real FTP proxy for the user@host scheme in front of a real server. The proxy reads the
// server's port from the host part ("host:port"), so Host carries it here.
TEST(ThroughFtpProxy, UserAtHostSchemeLogsInAndTransfers) {
    TempDir tmp;
    fs::create_directories(tmp / "root");
    writeFile(tmp / "root" / "p.txt", "via the proxy\n");
    FtpdPeer ftpd(tmp / "ftpd", tmp / "root", "joe", "pw");
    FtpProxyPeer proxy(tmp / "proxy", ftpd.port());
    for (bool passive : {true, false}) {
        TNetFTP ftp;
        ftp.Host = "127.0.0.1:" + std::to_string(ftpd.port());
        ftp.Username = "joe";
        ftp.Password = "pw";
        ftp.Passive = passive;
        ftp.ProxySettings.ProxyType = fpcmUserSite;
        ftp.ProxySettings.Host = "127.0.0.1";
        ftp.ProxySettings.Port = proxy.port();
        ftp.Connect(true, 5000);
        EXPECT_EQ(ftp.Host, "127.0.0.1:" + std::to_string(ftpd.port()));
        EXPECT_EQ(ftp.LoginReply.NumericCode(), 230);
        TNetMemoryStream out;
        ftp.RetrieveToStream("p.txt", out, false);
        EXPECT_EQ(out.ToString(), "via the proxy\n") << passive;
        writeFile(tmp / "up.txt", "up through the proxy\n");
        ftp.StoreFile((tmp / "up.txt").string(), passive ? "up1.txt" : "up2.txt", false);
        EXPECT_EQ(readFile(tmp / "root" / (passive ? "up1.txt" : "up2.txt")),
                  "up through the proxy\n");
        ftp.Disconnect();
    }
}

} // namespace
