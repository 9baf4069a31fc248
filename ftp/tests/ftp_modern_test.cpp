// Today's FTP against real servers on 127.0.0.1 and ::1: FEAT once per login, UTF-8 names,
// EPSV/EPRT (and PASV/PORT when told not to), MLSD listings, MDTM/MFMT, verified transfers
// with ProFTPD's real digests; against scripted servers the fall-back on 500 and a server whose
// digest disagrees.

#include "ftp/connection_intercept.h"
#include "ftp/digest_worker.h"
#include "ftp/ftp.h"
#include "ftp/ftp_digest.h"
#include "ftp/socket/io_handler_socket.h"
#include "testing/refused_port.h"
#include "testing/scripted_peer.h"
#include "testing/temp_dir.h"
#include "testing/tls_peers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <pthread.h>
#include <random>
#include <sys/stat.h>

using namespace oxbrook::testing;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

// Keeps the command lines the client sends.
class SentLines : public TNetConnectionIntercept {
public:
    SentLines() {
        OnSend = [this](TNetConnectionIntercept*, TNetStream& block) {
            std::string s(static_cast<size_t>(block.Size()), '\0');
            block.SetPosition(0);
            block.Read(s.data(), block.Size());
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
                s.pop_back();
            lines.push_back(s);
        };
    }
    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& l : lines)
            n += l.rfind(prefix, 0) == 0;
        return n;
    }
    // The position of the first line that begins with prefix, or -1.
    int first(const std::string& prefix) const {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
        return -1;
    }
    Lines lines;
};

enum class Peer { Proftpd, Pyftpdlib };

struct Case {
    const char* name;
    Peer peer;
    bool ipv6;
    bool passive;
    bool extended;       // UseExtendedPorts
    const char* portCmd; // the data port command expected
    const char* verifiedBy;
};

class ModernServer : public ::testing::TestWithParam<Case> {};

const std::string kUtf8Name = "Grüße-日本-ñ.bin";

TEST_P(ModernServer, Utf8NamesGoUpListAndComeBackVerified) {
    const Case c = GetParam();
    TempDir tmp;
    fs::create_directories(tmp / "root" / "sub");
    fs::create_directories(tmp / "local");
    std::mt19937 gen(11);
    std::string bytes(700 * 1024 + 3, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(gen());
    writeFile(tmp / "local" / "up.bin", bytes);
    // A time in the past that the copies must keep.
    const time_t past = 1600000000;
    timespec times[2] = {{past, 0}, {past, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (tmp / "local" / "up.bin").c_str(), times, 0), 0);

    std::unique_ptr<TestPeer> peer;
    std::string user, password;
    if (c.peer == Peer::Proftpd) {
        auto p = std::make_unique<ProftpdPeer>(tmp / "peer", tmp / "root", fs::path(), fs::path(),
                                               c.ipv6);
        user = p->user, password = p->password;
        peer = std::move(p);
    } else {
        auto p = std::make_unique<ModernFtpdPeer>(tmp / "peer", tmp / "root", fs::path(),
                                                  fs::path(), false, c.ipv6);
        user = p->user, password = p->password;
        peer = std::move(p);
    }
    SentLines sent;
    TNetFTP ftp;
    ftp.Intercept = &sent;
    ftp.Host = c.ipv6 ? "::1" : "localhost";
    ftp.Port = peer->port();
    ftp.Username = user;
    ftp.Password = password;
    ftp.Passive = c.passive;
    ftp.UseExtendedPorts = c.extended;
    ftp.KeepFileTimes = true;
    ftp.ReadTimeout = 20000;
    ftp.Connect(true, 10000);
    EXPECT_EQ(ftp.ControlIsIPv6(), c.ipv6);
    EXPECT_TRUE(ftp.Features.Listed);
    EXPECT_TRUE(ftp.Features.Has("MLST"));
    EXPECT_EQ(sent.count("OPTS UTF8 ON"), ftp.Features.Has("UTF8") ? 1 : 0);

    ftp.StoreFile((tmp / "local" / "up.bin").string(), kUtf8Name, false);
    EXPECT_EQ(ftp.LastVerification.rfind(c.verifiedBy, 0), 0u) << ftp.LastVerification;
    EXPECT_EQ(readFile(tmp / "root" / fs::u8path(kUtf8Name)), bytes);
    struct stat st {};
    ASSERT_EQ(stat((tmp / "root" / fs::u8path(kUtf8Name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, past) << "MFMT keeps the upload's time";

    ftp.ListDirectory(nullptr, "", true);
    EXPECT_EQ(sent.count("MLSD"), 1);
    std::map<std::string, TNetFTPListItem> byName;
    for (const auto& e : ftp.DirectoryListing())
        byName[e.EntryName] = e;
    ASSERT_TRUE(byName.count(kUtf8Name)) << ftp.RawListing.size();
    EXPECT_EQ(byName[kUtf8Name].EntryKind, EntryFile);
    EXPECT_EQ(byName[kUtf8Name].ByteSize, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(byName[kUtf8Name].ModifiedAt.ToText(), "2020-09-13 12:26:40");
    EXPECT_EQ(byName[kUtf8Name].OwnerRights, "rw-");
    EXPECT_EQ(byName["sub"].EntryKind, EntryDirectory);
    EXPECT_FALSE(byName.count(".")) << "the folder itself is not an entry";

    TNetFTPListItem facts;
    ASSERT_TRUE(ftp.FileFacts(kUtf8Name, facts));
    EXPECT_EQ(facts.ByteSize, static_cast<int64_t>(bytes.size()));
    TNetDateTime when;
    ASSERT_TRUE(ftp.FileTime(kUtf8Name, when));
    EXPECT_EQ(when.ToText(), "2020-09-13 12:26:40");

    const fs::path back = tmp / "local" / fs::u8path(kUtf8Name);
    ftp.Retrieve(kUtf8Name, back.string(), true, false);
    EXPECT_EQ(readFile(back), bytes);
    EXPECT_EQ(ftp.LastVerification.rfind(c.verifiedBy, 0), 0u) << ftp.LastVerification;
    ASSERT_EQ(stat(back.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, past) << "MDTM gives the download the server's time";

    // Three data connections, each opened with the expected command, and FEAT once.
    EXPECT_EQ(sent.count(c.portCmd), 3) << ::testing::PrintToString(sent.lines);
    EXPECT_EQ(sent.count("FEAT"), 1);
    // The digest's algorithm, when not the server's current one, is selected once per login.
    const std::string hash = ftp.Features.Parameters("HASH");
    const bool selects = !hash.empty() && hash.find("SHA-256*") == std::string::npos;
    EXPECT_EQ(sent.count("OPTS HASH SHA-256"), selects ? 1 : 0) << hash;
    // ... before the first transfer: a server that hashes the bytes as they pass then answers
    // HASH from what it computed, without reading the file again.
    if (selects) {
        EXPECT_LT(sent.first("OPTS HASH"), sent.first("STOR ")) << hash;
    }
    ftp.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(
    Peers, ModernServer,
    ::testing::Values(
        Case{"proftpdEpsv", Peer::Proftpd, false, true, true, "EPSV", "SHA-256 "},
        Case{"proftpdIPv6Eprt", Peer::Proftpd, true, false, true, "EPRT |2|::1|", "SHA-256 "},
        Case{"pyftpdlibIPv6Epsv", Peer::Pyftpdlib, true, true, true, "EPSV", "size "},
        Case{"pyftpdlibPortWhenTold", Peer::Pyftpdlib, false, false, false, "PORT ", "size "}),
    [](const auto& info) { return std::string(info.param.name); });

// A login whose FEAT offers EPSV, HASH and SIZE.
void serveLoginWithHash(ScriptedSession& s) {
    s.reply("220 ready");
    s.expect("USER");
    s.reply("331 pw");
    s.expect("PASS");
    s.reply("230 in");
    s.expect("FEAT");
    s.send("211-Features:\r\n EPSV\r\n HASH SHA-256*;MD5\r\n SIZE\r\n211 End\r\n");
    s.expect("TYPE I");
    s.reply("200 ok");
    s.expect("SYST");
    s.reply("215 UNIX");
}

// The bytes of f.bin through PASV (after refusing EPSV when asked to), up to the end of data.
void serveRetrData(ScriptedSession& s, bool refuseEpsv, const std::string& payload) {
    if (refuseEpsv) {
        s.expect("EPSV");
        s.reply("500 EPSV not understood");
    }
    s.expect("PASV");
    s.reply("227 Entering Passive Mode (" + s.openPassive() + ").");
    s.acceptData();
    s.expect("RETR f.bin");
    s.reply("150 go");
    s.sendData(payload);
    s.closeData();
}

// One whole download of f.bin, then the digest given as the server's reply to HASH; with no
// digest, HASH is refused and SIZE answered instead.
void serveVerifiedRetr(ScriptedSession& s, bool refuseEpsv, const std::string& payload,
                       const std::string& digest) {
    serveRetrData(s, refuseEpsv, payload);
    s.reply("226 done");
    s.expect("HASH f.bin");
    if (digest.empty()) {
        s.reply("550 f.bin: cannot hash now");
        s.expect("SIZE f.bin");
        s.reply("213 " + std::to_string(payload.size()));
        return;
    }
    s.reply("213 SHA-256 0-" + std::to_string(payload.size()) + " " + digest + " f.bin");
}

void connectTo(TNetFTP& ftp, ScriptedPeer& peer) {
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.Username = "u";
    ftp.Password = "p";
    ftp.Passive = true;
    ftp.ReadTimeout = 10000;
    peer.scriptFeat(true);
    ftp.Connect(true, 5000);
}

// A server that lists EPSV but refuses it as unknown: PASV from then on, EPSV not asked again.
TEST(ScriptedModern, RefusedEpsvFallsBackToPasvOnceAndWrongDigestFailsTheTransfer) {
    const std::string payload = "twelve bytes";
    ScriptedPeer peer([&](ScriptedSession& s) {
        serveLoginWithHash(s);
        serveVerifiedRetr(s, true, payload, std::string(64, 'a'));
        serveVerifiedRetr(s, false, payload,
                          "d4ce2c527afe674c7a086bd74e256019e3d5dcdb31eeb6eaadef5ada8c4383b9");
        s.expect("QUIT");
        s.reply("221 bye");
    });
    TNetFTP ftp;
    connectTo(ftp, peer);
    EXPECT_TRUE(ftp.Features.Has("hash"));
    EXPECT_EQ(ftp.Features.Parameters("HASH"), "SHA-256*;MD5");
    TNetMemoryStream got;
    try {
        ftp.RetrieveToStream("f.bin", got, false);
        ADD_FAILURE() << "a wrong digest must fail the transfer";
    } catch (const ENetTransferVerifyError& e) {
        EXPECT_NE(std::string(e.what()).find(std::string(64, 'a')), std::string::npos) << e.what();
    }
    EXPECT_EQ(TNetDigestWorker::Running(), 0) << "a failed verification stops its hasher";
    EXPECT_EQ(got.ToString(), payload) << "what arrived is kept for the caller to judge";
    // Tried again from the start, the server's digest now agrees.
    TNetMemoryStream again;
    ftp.RetrieveToStream("f.bin", again, false);
    EXPECT_EQ(again.ToString(), payload);
    EXPECT_EQ(ftp.LastVerification,
              "SHA-256 d4ce2c527afe674c7a086bd74e256019e3d5dcdb31eeb6eaadef5ada8c4383b9");
    ftp.SendCommand("QUIT", -1);
    EXPECT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.error(), "");
}

// A verified download that the server cuts short: the hasher that ran beside it is stopped
// with the transfer, and no digest is asked for bytes that did not all arrive.
TEST(ScriptedModern, DownloadCutShortStopsItsHasher) {
    const std::string part(3 * 1024 * 1024 + 5, 'x');
    ScriptedPeer peer([&](ScriptedSession& s) {
        serveLoginWithHash(s);
        serveRetrData(s, true, part);
        s.reply("426 Connection closed; transfer aborted.");
        s.expect("QUIT");
        s.reply("221 bye");
    });
    TNetFTP ftp;
    connectTo(ftp, peer);
    int hashersDuring = -1;
    ftp.OnWork = [&](TNetComponent*, TWorkMode, int64_t) {
        hashersDuring = std::max(hashersDuring, TNetDigestWorker::Running());
    };
    TNetMemoryStream got;
    try {
        ftp.RetrieveToStream("f.bin", got, false);
        ADD_FAILURE() << "a 426 must fail the transfer";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 426);
    }
    EXPECT_EQ(hashersDuring, 1);
    EXPECT_EQ(TNetDigestWorker::Running(), 0);
    EXPECT_EQ(got.Size(), static_cast<int64_t>(part.size()));
    ftp.SendCommand("QUIT", -1);
    EXPECT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.error(), "");
}

// Runs the calling thread, and the threads it starts, on one processor, as a process confined
// to one would; the thread's own set comes back at the end.
class OneProcessor {
public:
    OneProcessor() {
        pthread_getaffinity_np(pthread_self(), sizeof saved, &saved);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &saved)) {
                CPU_SET(cpu, &one);
                break;
            }
        pthread_setaffinity_np(pthread_self(), sizeof one, &one);
    }
    ~OneProcessor() { pthread_setaffinity_np(pthread_self(), sizeof saved, &saved); }
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;

private:
    cpu_set_t saved;
};

// On one processor a verified download into a file is hashed from the file once its bytes are
// in, while the server hashes: no hasher runs beside the transfer, the digest covers exactly
// the bytes received (not what the file held beyond them), a wrong digest still fails, and a
// refused HASH falls back to the size.
TEST(ScriptedModern, OneProcessorHashesTheDownloadedFileAfterwards) {
    std::mt19937 gen(17);
    std::string payload(600 * 1024 + 7, '\0');
    for (auto& b : payload)
        b = static_cast<char>(gen());
    TNetDigest direct(daSHA256);
    direct.Update(payload.data(), static_cast<int64_t>(payload.size()));
    const std::string right = direct.HexResult();
    ScriptedPeer peer([&](ScriptedSession& s) {
        serveLoginWithHash(s);
        const std::string digests[] = {right, right, std::string(64, 'b'), ""};
        for (int round = 0; round < 4; ++round)
            serveVerifiedRetr(s, round == 0, payload, digests[round]);
        s.expect("QUIT");
        s.reply("221 bye");
    });
    TempDir tmp;
    OneProcessor pinned;
    ASSERT_FALSE(TNetDigestWorker::SpareProcessor());
    TNetFTP ftp;
    connectTo(ftp, peer);
    int hashersDuring = 0;
    ftp.OnWork = [&](TNetComponent*, TWorkMode, int64_t) {
        hashersDuring = std::max(hashersDuring, TNetDigestWorker::Running());
    };
    const fs::path local = tmp / "f.bin";
    ftp.Retrieve("f.bin", local.string(), true, false);
    EXPECT_EQ(ftp.LastVerification, "SHA-256 " + right);
    EXPECT_EQ(readFile(local), payload);

    const std::string beyond = "older bytes beyond the download";
    writeFile(local, std::string(payload.size(), 'z') + beyond);
    {
        TNetFileStream file(local.string(), TNetFileMode::fmOpenReadWrite);
        ftp.RetrieveToStream("f.bin", file, false);
    }
    EXPECT_EQ(ftp.LastVerification, "SHA-256 " + right);
    EXPECT_EQ(readFile(local), payload + beyond);

    try {
        ftp.Retrieve("f.bin", local.string(), true, false);
        ADD_FAILURE() << "a wrong digest must fail the transfer";
    } catch (const ENetTransferVerifyError& e) {
        EXPECT_NE(std::string(e.what()).find(right), std::string::npos) << e.what();
    }

    // A refused HASH leaves the size to compare, and the file's hasher is stopped.
    ftp.Retrieve("f.bin", local.string(), true, false);
    EXPECT_EQ(ftp.LastVerification, "size " + std::to_string(payload.size()));
    EXPECT_EQ(hashersDuring, 0) << "no hasher ran beside a transfer";
    EXPECT_EQ(TNetDigestWorker::Running(), 0);
    ftp.SendCommand("QUIT", -1);
    EXPECT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.error(), "");
}

// The hasher's ring, with chunks small enough that every feed wraps it and waits for the
// hasher, gives the digest of the bytes in the order they were fed.
TEST(Digest, HasherOnItsThreadMatchesTheDirectDigest) {
    std::mt19937 gen(5);
    std::string bytes(50000, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(gen());
    TNetDigest direct(daSHA256);
    direct.Update(bytes.data(), static_cast<int64_t>(bytes.size()));
    const std::string expected = direct.HexResult();
    for (size_t chunk : {size_t(5), size_t(4096), size_t(1 << 20)}) {
        TNetDigestWorker worker(daSHA256, chunk, 2);
        size_t at = 0, step = 1;
        while (at < bytes.size()) {
            const size_t n = std::min(step, bytes.size() - at);
            worker.Feed(bytes.data() + at, static_cast<int64_t>(n));
            at += n;
            step = step * 3 % 9973 + 1;
        }
        EXPECT_EQ(worker.HexResult(), expected) << chunk;
        EXPECT_EQ(worker.HexResult(), expected) << "a second call gives the same digest";
    }
    EXPECT_EQ(TNetDigestWorker::Running(), 0);
}

TEST(Digest, KnownValuesOfEachAlgorithm) {
    struct Row {
        TNetDigestAlgorithm a;
        const char* hex;
    };
    for (const Row& r :
         {Row{daCRC32, "352441c2"}, Row{daMD5, "900150983cd24fb0d6963f7d28e17f72"},
          Row{daSHA1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
          Row{daSHA256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}}) {
        TNetDigest d(r.a);
        d.Update("a", 1);
        d.Update("bc", 2);
        EXPECT_EQ(d.HexResult(), r.hex) << NetDigestName(r.a);
    }
}

TEST(Mlsd, FactsOfOddLinesAndEpsvReplies) {
    TNetFTPListItem item;
    bool skip = false;
    ASSERT_TRUE(
        NetParseMlsdLine("Type=OS.unix=slink:/target;Modify=20240229235960.5; a b ", item, skip));
    EXPECT_EQ(item.EntryKind, EntrySymlink);
    EXPECT_EQ(item.LinkTarget, "/target");
    EXPECT_EQ(item.EntryName, "a b ");
    EXPECT_EQ(item.ModifiedAt.ToText(), "2024-02-29 23:59:59");
    EXPECT_TRUE(NetParseMlsdLine("type=cdir;perm=el; /x", item, skip));
    EXPECT_TRUE(skip);
    EXPECT_FALSE(NetParseMlsdLine("size=5; nofacttype", item, skip));
    EXPECT_FALSE(NetParseMlsdLine("type=file;size=5;", item, skip));
    EXPECT_EQ(TNetFTP::ParseExtendedPassive("Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(TNetFTP::ParseExtendedPassive("ok (!!!21!)"), 21);
    for (const char* bad :
         {"(|||0|)", "(|||70000|)", "(|||12a|)", "(||6446|)", "no parens", "(|||-5|)"})
        EXPECT_THROW(TNetFTP::ParseExtendedPassive(bad), ENetConvertError) << bad;
}

} // namespace

namespace {

// A name with several addresses: the first refuses (nothing listens on ::1 at that port), the
// next takes the connection; with every address refusing, the last error is raised.
TEST(Addresses, EachAddressIsTriedInTurn) {
    ScriptedPeer peer([](ScriptedSession& s) { s.reply("220 ready"); });
    TNetIOHandlerSocket transport;
    std::vector<std::string> statuses;
    transport.OnStatus = [&](TNetComponent*, TNetStatus, const std::string& text) {
        statuses.push_back(text);
    };
    transport.ConnectToFirst({"::1", "127.0.0.1"}, peer.port(), 5000, "", 0);
    EXPECT_TRUE(transport.TransportConnected());
    EXPECT_EQ(transport.Endpoint()->RemoteIP, "127.0.0.1");
    EXPECT_NE(
        std::find(statuses.begin(), statuses.end(), "Could not connect to ::1, trying 127.0.0.1"),
        statuses.end());
    transport.CloseTransport();
    EXPECT_TRUE(peer.waitDone());
    TNetIOHandlerSocket nowhere;
    EXPECT_THROW(nowhere.ConnectToFirst({"::1", "127.0.0.1"}, RefusedPort(), 5000, "", 0),
                 ENetException);
}

} // namespace
