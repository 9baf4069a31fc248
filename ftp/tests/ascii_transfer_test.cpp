// ASCII transfers: the line-end conversion streams alone (every split of the data into writes
// and reads), then text files up to and back from real servers. pyftpdlib converts line ends in
// TYPE A itself, vsftpd stores and sends the bytes of the data connection as they are, so the
// two together show what went over the wire in each direction.

#include "ftp/ascii_stream.h"
#include "ftp/ftp.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"

#include <gtest/gtest.h>

using namespace oxbrook::testing;
namespace fs = std::filesystem;

namespace {

struct LineEnds {
    std::string local; // as this system keeps the file
    std::string wire;  // as the data connection carries it
};

// An LF after a CR in the local file stays a CR LF: it comes back as a lone LF, so such a file
// is not in the table of round trips.
const LineEnds kLineEnds[] = {
    {"", ""},
    {"one line", "one line"},
    {"a\nb\n", "a\r\nb\r\n"},
    {"\n\n\n", "\r\n\r\n\r\n"},
    {"lone\rcarriage\r", "lone\rcarriage\r"},
    {"x\r\ry\n", "x\r\ry\r\n"},
    {"mixed\rline\nends\r", "mixed\rline\r\nends\r"},
    {"no end at the end\nx", "no end at the end\r\nx"},
};

// Feeds `bytes` into `write` in pieces of `piece` bytes.
template <class Write> void inPieces(const std::string& bytes, size_t piece, Write write) {
    for (size_t at = 0; at < bytes.size(); at += piece)
        write(bytes.data() + at, static_cast<int64_t>(std::min(piece, bytes.size() - at)));
}

TEST(AsciiStreams, ConvertAcrossEverySplitOfTheData) {
    for (const LineEnds& row : kLineEnds) {
        for (size_t piece = 1; piece <= row.wire.size() + 1; ++piece) {
            SCOPED_TRACE(::testing::Message() << '"' << row.local << "\" in pieces of " << piece);
            TNetMemoryStream received;
            {
                TNetAsciiReceiveStream converter(received);
                inPieces(row.wire, piece,
                         [&](const char* p, int64_t n) { EXPECT_EQ(converter.Write(p, n), n); });
                converter.Finish();
                EXPECT_EQ(converter.Position(), static_cast<int64_t>(row.wire.size()));
            }
            EXPECT_EQ(received.ToString(), row.local);

            TNetMemoryStream source;
            source.Write(row.local.data(), static_cast<int64_t>(row.local.size()));
            source.SetPosition(0);
            TNetAsciiSendStream sender(source);
            EXPECT_EQ(sender.Size(), static_cast<int64_t>(row.wire.size()));
            for (int pass = 0; pass < 2; ++pass) {
                sender.SetPosition(0);
                std::string sent, buffer(piece, '\0');
                for (int64_t n; (n = sender.Read(buffer.data(), static_cast<int64_t>(piece))) > 0;)
                    sent.append(buffer.data(), static_cast<size_t>(n));
                EXPECT_EQ(sent, row.wire);
                EXPECT_EQ(sender.Position(), sender.Size());
            }
        }
    }
}

TEST(AsciiStreams, ALocalCrLfGoesAsItIsAndComesBackAsLf) {
    TNetMemoryStream source;
    source.Write("dos\r\nline\r\n", 11);
    source.SetPosition(0);
    TNetAsciiSendStream sender(source);
    std::string sent(32, '\0');
    sent.resize(static_cast<size_t>(sender.Read(sent.data(), 32)));
    EXPECT_EQ(sent, "dos\r\nline\r\n");
    TNetMemoryStream received;
    TNetAsciiReceiveStream converter(received);
    converter.Write(sent.data(), static_cast<int64_t>(sent.size()));
    converter.Finish();
    EXPECT_EQ(received.ToString(), "dos\nline\n");
}

TEST(AsciiStreams, CanOnlyStartAgain) {
    TNetMemoryStream source;
    source.Write("a\nb", 3);
    source.SetPosition(0);
    TNetAsciiSendStream sender(source);
    EXPECT_THROW(sender.SetPosition(2), ENetException);
    EXPECT_THROW(sender.Write("x", 1), ENetException);
    EXPECT_THROW(sender.SetSize(0), ENetException);
}

enum class Server { Pyftpdlib, Vsftpd };

struct Mode {
    Server server;
    bool passive;
};

class AsciiTransfer : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        fs::create_directories(root);
        fs::create_directories(local);
        const bool py = GetParam().server == Server::Pyftpdlib;
        if (py)
            peer = std::make_unique<FtpdPeer>(tmp / "peer", root, "joe", "pw");
        else
            peer = std::make_unique<VsftpdPeer>(tmp / "peer", root, "oxftp", "oxpass");
        ftp.Host = "127.0.0.1";
        ftp.Port = peer->port();
        ftp.Username = py ? "joe" : "oxftp";
        ftp.Password = py ? "pw" : "oxpass";
        ftp.Passive = GetParam().passive;
        // Small buffers make CR LF pairs fall across the pieces of the data connection.
        ftp.RecvBufferSize = 4096;
        ftp.SendBufferSize = 4096;
        ftp.Connect(true, 5000);
        ftp.OnStatus = [this](TNetComponent*, TNetStatus, const std::string& text) {
            statuses.push_back(text);
        };
    }
    // What the server keeps of a file that went over the wire as `wire`.
    std::string serverCopy(const std::string& wire, const std::string& local) const {
        return GetParam().server == Server::Pyftpdlib ? local : wire;
    }
    TempDir tmp;
    fs::path root = tmp / "root", local = tmp / "local";
    std::unique_ptr<TestPeer> peer;
    TNetFTP ftp;
    std::vector<std::string> statuses;
};

TEST_P(AsciiTransfer, TextGoesUpAndComesBackByteIdentical) {
    std::string text, wire;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "line " + std::to_string(i) + (i % 7 ? "" : " with\ra CR");
        text += line + "\n";
        wire += line + "\r\n";
    }
    text += "no line end at the end";
    wire += "no line end at the end";
    writeFile(local / "notes.txt", text);

    ftp.SetTransferType(ftASCII);
    ftp.StoreFile((local / "notes.txt").string(), "notes.txt", false);
    EXPECT_EQ(readFile(root / "notes.txt"), serverCopy(wire, text));

    ftp.Retrieve("notes.txt", (local / "back.txt").string(), false, false);
    EXPECT_EQ(readFile(local / "back.txt"), text);

    // Binary mode beside it stays byte for byte.
    ftp.SetTransferType(ftBinary);
    ftp.Retrieve("notes.txt", (local / "raw.txt").string(), false, false);
    EXPECT_EQ(readFile(local / "raw.txt"), serverCopy(wire, text));
}

TEST_P(AsciiTransfer, ResumeInAsciiModeDownloadsTheWholeFile) {
    writeFile(root / "notes.txt", serverCopy("a\r\nb\r\nc\r\n", "a\nb\nc\n"));
    writeFile(local / "notes.txt", "a\nb");
    ftp.SetTransferType(ftASCII);
    ftp.Retrieve("notes.txt", (local / "notes.txt").string(), false, true);
    EXPECT_EQ(readFile(local / "notes.txt"), "a\nb\nc\n");
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), kAsciiResumeText), statuses.end());
    // The marker cleared for the ASCII download does not linger for the next binary one.
    ftp.SetTransferType(ftBinary);
    ftp.Retrieve("notes.txt", (local / "again.txt").string(), false, false);
    EXPECT_EQ(readFile(local / "again.txt"), readFile(root / "notes.txt"));
}

INSTANTIATE_TEST_SUITE_P(Servers, AsciiTransfer,
                         ::testing::Values(Mode{Server::Pyftpdlib, true},
                                           Mode{Server::Pyftpdlib, false},
                                           Mode{Server::Vsftpd, true}, Mode{Server::Vsftpd, false}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                             return std::string(info.param.server == Server::Pyftpdlib ? "pyftpdlib"
                                                                                       : "vsftpd") +
                                    (info.param.passive ? "Passive" : "Active");
                         });

} // namespace
