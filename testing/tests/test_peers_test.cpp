// The peers every network test builds on: each real server must come up on loopback,
// answer like the server it is, and be gone after the fixture ends.

#include "testing/scripted_peer.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"

#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace oxbrook::testing;

namespace {

// A tiny blocking client: connect to 127.0.0.1:port; -1 when refused.
int dial(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string readSome(int fd, size_t atLeast) {
    std::string out;
    while (out.size() < atLeast) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        char buf[512];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

void sendText(int fd, const std::string& s) {
    ASSERT_EQ(send(fd, s.data(), s.size(), 0), ssize_t(s.size()));
}

std::string banner(int port) {
    int fd = dial(port);
    if (fd < 0) return {};
    std::string b = readSome(fd, 5);
    close(fd);
    return b;
}

} // namespace

TEST(TestPeers, FtpdAnnouncesItsPortAndStopsByPid) {
    TempDir tmp;
    std::filesystem::create_directories(tmp / "root");
    int port = 0;
    pid_t pid = 0;
    {
        FtpdPeer ftpd(tmp / "ftpd", tmp / "root");
        port = ftpd.port();
        pid = ftpd.pid();
        EXPECT_EQ(banner(port).substr(0, 4), "220 ");
    }
    EXPECT_EQ(kill(pid, 0), -1) << "the launcher must be gone after the fixture";
    EXPECT_EQ(dial(port), -1);
}

TEST(TestPeers, VsftpdAcceptsItsUser) {
    TempDir tmp;
    std::filesystem::create_directories(tmp / "root");
    VsftpdPeer vsftpd(tmp / "vsftpd", tmp / "root");
    int fd = dial(vsftpd.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readSome(fd, 5).substr(0, 4), "220 ");
    sendText(fd, "USER " + vsftpd.user + "\r\n");
    EXPECT_EQ(readSome(fd, 5).substr(0, 3), "331");
    sendText(fd, "PASS " + vsftpd.password + "\r\n");
    EXPECT_EQ(readSome(fd, 5).substr(0, 3), "230") << vsftpd.log();
    close(fd);
}

TEST(TestPeers, SocksServersSpeakVersionFive) {
    TempDir tmp;
    DantePeer dante(tmp / "dante");
    MicrosocksPeer micro(tmp / "micro", "u", "p");
    for (auto [port, method] : {std::pair{dante.port(), '\0'}, std::pair{micro.port(), '\2'}}) {
        int fd = dial(port);
        ASSERT_GE(fd, 0);
        sendText(fd, std::string("\x05\x01", 2) + method);
        std::string r = readSome(fd, 2);
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0], 5);
        EXPECT_EQ(r[1], method);
        close(fd);
    }
}

TEST(ScriptedPeer, PlaysItsScriptAndRecordsTheClientLines) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220 hello");
        s.expect("USER ");
        s.reply("230 in");
    });
    int fd = dial(peer.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readSome(fd, 11), "220 hello\r\n");
    sendText(fd, "USER bob\r\n");
    EXPECT_EQ(readSome(fd, 8), "230 in\r\n");
    close(fd);
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.error(), "");
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"USER bob"});
}

TEST(ScriptedPeer, ReportsAnUnexpectedLine) {
    ScriptedPeer peer([](ScriptedSession& s) { s.expect("PASS "); });
    int fd = dial(peer.port());
    sendText(fd, "USER bob\r\n");
    ASSERT_TRUE(peer.waitDone());
    close(fd);
    EXPECT_NE(peer.error().find("USER bob"), std::string::npos);
}
