// The SOCKS handshakes: exact request bytes and every reply code against scripted peers, and
// real SOCKS servers (Dante, microsocks) carrying an FTP welcome line from a real FTP server.

#include "ftp/socks_info.h"
#include "ftp/tcp_client.h"
#include "testing/scripted_peer.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"

#include <gtest/gtest.h>

using namespace oxbrook::testing;

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list)
        s += static_cast<char>(b);
    return s;
}

// Connects a transport through the SOCKS settings to host:port.
void connectThrough(TNetIOHandlerSocket& transport, TNetSocksInfo& info, const std::string& host,
                    int port, int limitMs = 5000) {
    transport.SocksInfo = &info;
    transport.HandshakeTimeoutMs = limitMs;
    transport.OpenTransport();
    transport.ConnectTransport(host, port, 5000, "", 0);
}

std::string readLine(TNetIOHandlerSocket& transport) {
    std::string line;
    char c = 0;
    while (c != '\n') {
        transport.ReadExact(&c, 1, 5000);
        line += c;
    }
    return line;
}

TNetSocksInfo socksAt(TSocksVersion version, int port) {
    TNetSocksInfo info;
    info.Version = version;
    info.Host = "127.0.0.1";
    info.Port = port;
    return info;
}

// Runs a handshake against a scripted SOCKS server; returns the message raised ("" if none).
std::string handshake(TNetSocksInfo info, const std::string& host, int port,
                      const ScriptedPeer::Script& script, std::string* sent = nullptr,
                      std::string* after = nullptr, int limitMs = 5000) {
    ScriptedPeer peer(script);
    info.Host = "127.0.0.1";
    info.Port = peer.port();
    TNetIOHandlerSocket transport;
    std::string error;
    try {
        connectThrough(transport, info, host, port, limitMs);
        if (after) *after = readLine(transport);
    } catch (const ENetException& e) {
        error = e.what();
    }
    transport.CloseTransport();
    EXPECT_TRUE(peer.waitDone());
    if (sent) *sent = peer.bytes();
    return error;
}

TEST(Socks4, EmptyUserSendsNineBytesAndConnects) {
    std::string sent, welcome;
    auto error = handshake(
        socksAt(svSocks4, 0), "127.0.0.1", 21,
        [](ScriptedSession& s) {
            s.readBytes(9);
            s.send(bytes({0, 90, 0, 0, 0, 0, 0, 0}));
            s.reply("220 through");
        },
        &sent, &welcome);
    EXPECT_EQ(error, "");
    EXPECT_EQ(sent, bytes({4, 1, 0, 21, 127, 0, 0, 1, 0}));
    EXPECT_EQ(welcome, "220 through\r\n");
}

TEST(Socks4, UserIdAndResolvedAddress) {
    TNetSocksInfo info = socksAt(svSocks4, 0);
    info.Username = "bob";
    std::string sent;
    handshake(
        info, "localhost", 0x1234,
        [](ScriptedSession& s) {
            s.readBytes(12);
            s.send(bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        },
        &sent);
    EXPECT_EQ(sent, bytes({4, 1, 0x12, 0x34, 127, 0, 0, 1, 'b', 'o', 'b', 0}));
}

TEST(Socks4, SocksFourASendsTheHostName) {
    TNetSocksInfo info = socksAt(svSocks4A, 0);
    info.Username = "u";
    std::string sent;
    auto error = handshake(
        info, "ftp.example", 21,
        [](ScriptedSession& s) {
            s.readBytes(10 + 12);
            s.send(bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        },
        &sent);
    EXPECT_EQ(error, "");
    EXPECT_EQ(sent, bytes({4, 1, 0, 21, 0, 0, 0, 1, 'u', 0}) + std::string("ftp.example") +
                        std::string(1, '\0'));
}

TEST(Socks4, EachReplyCodeHasItsMessage) {
    const std::pair<int, std::string> cases[] = {
        {91, "Request rejected or failed."},
        {92, "Request rejected because SOCKS server cannot connect."},
        {93, "Request rejected because the client program and identd report different "
             "user-ids."},
        {0, "Unknown socks error."},
        {95, "Unknown socks error."},
    };
    for (const auto& [code, message] : cases) {
        int c = code;
        auto error = handshake(socksAt(svSocks4, 0), "127.0.0.1", 21, [c](ScriptedSession& s) {
            s.readBytes(9);
            s.send(bytes({0, c, 0, 0, 0, 0, 0, 0}));
        });
        EXPECT_EQ(error, message) << code;
    }
}

// A SOCKS 5 server script: no authentication, CONNECT answered with result and the bound
// address of the given type, then a welcome line.
ScriptedPeer::Script socks5Server(int result, std::string bound, std::string* request = nullptr) {
    return [=](ScriptedSession& s) {
        s.readBytes(3);
        s.send(bytes({5, 0}));
        std::string head = s.readBytes(5);
        std::string rest = s.readBytes(static_cast<unsigned char>(head[4]) + 2);
        if (request) *request = head + rest;
        s.send(bytes({5, result, 0}) + bound);
        s.reply("220 via five");
    };
}

TEST(Socks5, DottedHostStillGoesAsAName) {
    std::string sent, welcome;
    auto error = handshake(socksAt(svSocks5, 0), "127.0.0.1", 2121,
                           socks5Server(0, bytes({1, 10, 0, 0, 1, 0, 21})), &sent, &welcome);
    EXPECT_EQ(error, "");
    EXPECT_EQ(sent, bytes({5, 1, 0}) + bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + bytes({8, 0x49}));
    EXPECT_EQ(welcome, "220 via five\r\n");
}

TEST(Socks5, BoundAddressOfEveryTypeIsConsumed) {
    const std::string bounds[] = {
        bytes({1, 1, 2, 3, 4, 0, 21}),
        bytes({3, 10}) + "abcdefghij" + bytes({0, 21}), // a 10-byte name: 12 more bytes
        bytes({4}) + std::string(16, '\x7f') + bytes({0, 21}),
    };
    for (const auto& bound : bounds) {
        std::string welcome;
        auto error =
            handshake(socksAt(svSocks5, 0), "h", 21, socks5Server(0, bound), nullptr, &welcome);
        EXPECT_EQ(error, "");
        EXPECT_EQ(welcome, "220 via five\r\n");
    }
}

TEST(Socks5, EachReplyCodeHasItsMessage) {
    const char* messages[] = {nullptr,
                              "General SOCKS server failure.",
                              "Connection not allowed by ruleset.",
                              "Network unreachable.",
                              "Host unreachable.",
                              "Connection refused.",
                              "TTL expired.",
                              "Command not supported.",
                              "Address type not supported.",
                              "Unknown socks error."};
    for (int code = 1; code <= 9; ++code) {
        auto error = handshake(socksAt(svSocks5, 0), "h", 21,
                               socks5Server(code, bytes({1, 0, 0, 0, 0, 0, 0})));
        EXPECT_EQ(error, messages[code]) << code;
    }
}

TEST(Socks5, RefusedMethodAndSilentServer) {
    auto refused = handshake(socksAt(svSocks5, 0), "h", 21, [](ScriptedSession& s) {
        s.readBytes(3);
        s.send(bytes({5, 255}));
    });
    EXPECT_EQ(refused, "Invalid socks authentication method.");
    auto silent = handshake(socksAt(svSocks5, 0), "h", 21, [](ScriptedSession& s) {
        s.readBytes(3);
        s.closeControl();
    });
    EXPECT_EQ(silent, "Socks server did not respond.");
    auto cutShort = handshake(socksAt(svSocks5, 0), "h", 21, [](ScriptedSession& s) {
        s.readBytes(3);
        s.send(bytes({5, 0}));
        s.readBytes(8);
        s.send(bytes({5, 0}));
        s.closeControl();
    });
    EXPECT_EQ(cutShort, "Socks server did not respond.");
}

TEST(Socks5, UserNameAndPassword) {
    TNetSocksInfo info = socksAt(svSocks5, 0);
    info.Authentication = saUsernamePassword;
    info.Username = "al";
    info.Password = "pw1";
    auto script = [](int status) {
        return [status](ScriptedSession& s) {
            s.readBytes(3);
            s.send(bytes({5, 2}));
            s.readBytes(1 + 1 + 2 + 1 + 3);
            s.send(bytes({1, status}));
            if (status != 0) return;
            s.readBytes(5 + 1 + 2);
            s.send(bytes({5, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
        };
    };
    std::string sent;
    EXPECT_EQ(handshake(info, "h", 21, script(0), &sent), "");
    EXPECT_EQ(sent.substr(0, 3 + 8), bytes({5, 1, 2, 1, 2, 'a', 'l', 3, 'p', 'w', '1'}));
    EXPECT_EQ(handshake(info, "h", 21, script(1)), "Authentication error to socks server.");
}

TEST(Socks, OverlongValuesAreRefusedBeforeAnythingIsSent) {
    const std::string longText(256, 'x');
    struct Case {
        TSocksVersion version;
        std::string user, password, host, message;
    } cases[] = {
        {svSocks4, longText, "", "h", "The SOCKS user name is longer than 255 bytes."},
        {svSocks4A, "", "", longText, "The SOCKS host name is longer than 255 bytes."},
        {svSocks5, "", "", longText, "The SOCKS host name is longer than 255 bytes."},
        {svSocks5, longText, "p", "h", "The SOCKS user name is longer than 255 bytes."},
        {svSocks5, "u", longText, "h", "The SOCKS password is longer than 255 bytes."},
    };
    for (const auto& c : cases) {
        TNetSocksInfo info = socksAt(c.version, 0);
        info.Authentication = c.user.empty() ? saNoAuthentication : saUsernamePassword;
        info.Username = c.user;
        info.Password = c.password;
        std::string sent;
        auto error = handshake(
            info, c.host, 21, [](ScriptedSession& s) { s.waitClientClose(); }, &sent);
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(sent, "") << "nothing may reach the server";
    }
    // 255 bytes still fit.
    TNetSocksInfo info = socksAt(svSocks5, 0);
    EXPECT_NO_THROW(info.BuildSocks5Request(std::string(255, 'h'), 21));
}

TEST(Socks, AssignCopiesAllSettings) {
    TNetSocksInfo a = socksAt(svSocks5, 9050);
    a.Authentication = saUsernamePassword;
    a.Username = "u";
    a.Password = "p";
    TNetSocksInfo b;
    b.Assign(a);
    EXPECT_EQ(b.Version, svSocks5);
    EXPECT_EQ(b.Authentication, saUsernamePassword);
    EXPECT_EQ(b.Host, "127.0.0.1");
    EXPECT_EQ(b.Port, 9050);
    EXPECT_EQ(b.Username, "u");
    EXPECT_EQ(b.Password, "p");
}

// Replies that break the protocol: a wrong version byte, an unknown address type. Each is a
// SOCKS error, never a connection that goes on with the wrong bytes.
TEST(SocksReply, MalformedRepliesAreRefused) {
    const auto greet5 = [](ScriptedSession& s) {
        s.readBytes(3);
        s.send(bytes({5, 0}));
        s.readBytes(5 + 1 + 2);
    };
    const struct {
        const char* name;
        TSocksVersion version;
        ScriptedPeer::Script script;
        const char* message;
    } cases[] = {
        {"4: version 5", svSocks4,
         [](ScriptedSession& s) {
             s.readBytes(9);
             s.send(bytes({5, 90, 0, 0, 0, 0, 0, 0}));
         },
         "Invalid reply from socks server: SOCKS 4 reply version byte 0x05, expected 0x00."},
        {"4: version 4", svSocks4,
         [](ScriptedSession& s) {
             s.readBytes(9);
             s.send(bytes({4, 90, 0, 0, 0, 0, 0, 0}));
         },
         "Invalid reply from socks server: SOCKS 4 reply version byte 0x04, expected 0x00."},
        {"5: method version 4", svSocks5,
         [](ScriptedSession& s) {
             s.readBytes(3);
             s.send(bytes({4, 0}));
         },
         "Invalid reply from socks server: SOCKS 5 method choice version byte 0x04, expected "
         "0x05."},
        {"5: connect version 0", svSocks5,
         [&](ScriptedSession& s) {
             greet5(s);
             s.send(bytes({0, 0, 0, 1, 127, 0, 0, 1, 0, 21}));
         },
         "Invalid reply from socks server: SOCKS 5 connect reply version byte 0x00, expected "
         "0x05."},
        {"5: address type 7", svSocks5,
         [&](ScriptedSession& s) {
             greet5(s);
             s.send(bytes({5, 0, 0, 7, 127, 0, 0, 1, 0, 21}));
         },
         "Invalid reply from socks server: unknown address type 7."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(handshake(socksAt(c.version, 0), "127.0.0.1", 21, c.script), c.message);
    }
    TNetSocksInfo withPassword = socksAt(svSocks5, 0);
    withPassword.Authentication = saUsernamePassword;
    withPassword.Username = "u";
    withPassword.Password = "p";
    EXPECT_EQ(handshake(withPassword, "h", 21,
                        [](ScriptedSession& s) {
                            s.readBytes(3);
                            s.send(bytes({5, 2}));
                            s.readBytes(5);
                            s.send(bytes({5, 0}));
                        }),
              "Invalid reply from socks server: SOCKS 5 authentication version byte 0x05, "
              "expected 0x01.");
}

// A server that stops answering at any step, or announces a longer address than it sends,
// ends the handshake after the time-out with the step named.
TEST(SocksReply, SilenceAtEachStepEndsWithinTheTimeout) {
    const auto silent = [](ScriptedSession& s) { s.waitClientClose(std::chrono::seconds(10)); };
    const struct {
        const char* name;
        TSocksVersion version;
        bool password;
        ScriptedPeer::Script script;
        const char* message;
    } cases[] = {
        {"4 reply", svSocks4, false,
         [&](ScriptedSession& s) {
             s.readBytes(9);
             s.send(bytes({0, 90, 0}));
             silent(s);
         },
         "Socks server did not respond in time (SOCKS 4 reply)."},
        {"5 method", svSocks5, false,
         [&](ScriptedSession& s) {
             s.readBytes(3);
             silent(s);
         },
         "Socks server did not respond in time (SOCKS 5 method choice)."},
        {"5 authentication", svSocks5, true,
         [&](ScriptedSession& s) {
             s.readBytes(3);
             s.send(bytes({5, 2}));
             s.readBytes(5);
             silent(s);
         },
         "Socks server did not respond in time (SOCKS 5 authentication)."},
        {"5 connect", svSocks5, false,
         [&](ScriptedSession& s) {
             s.readBytes(3);
             s.send(bytes({5, 0}));
             s.readBytes(8);
             s.send(bytes({5, 0}));
             silent(s);
         },
         "Socks server did not respond in time (SOCKS 5 connect reply)."},
        // Type 4 announces 16 address bytes; an IPv4 address and port are only 6.
        {"5 bound address", svSocks5, false,
         [&](ScriptedSession& s) {
             s.readBytes(3);
             s.send(bytes({5, 0}));
             s.readBytes(8);
             s.send(bytes({5, 0, 0, 4, 127, 0, 0, 1, 0, 21}));
             silent(s);
         },
         "Socks server did not respond in time (SOCKS 5 bound address)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TNetSocksInfo info = socksAt(c.version, 0);
        if (c.password) {
            info.Authentication = saUsernamePassword;
            info.Username = "u";
            info.Password = "p";
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(handshake(info, "127.0.0.1", 21, c.script, nullptr, nullptr, 300), c.message);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

// The engine hands its reply time-out to the SOCKS handshake of the control connection.
TEST(SocksReply, TheConnectionsTimeoutBoundsTheHandshake) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.readBytes(3);
        s.waitClientClose(std::chrono::seconds(10));
    });
    TNetSocksInfo info = socksAt(svSocks5, peer.port());
    TNetTCPClient client;
    auto transport = std::make_unique<TNetIOHandlerSocket>();
    transport->SocksInfo = &info;
    client.SetOwnedIOHandler(std::move(transport));
    client.Host = "h";
    client.Port = 21;
    client.ReadTimeout = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Connect(5000), ENetSocksTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// Real SOCKS servers in front of a real FTP server: the welcome line must come through.
class RealSocks : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp / "root");
        ftpd = std::make_unique<FtpdPeer>(tmp / "ftpd", tmp / "root");
    }
    std::string welcomeThrough(TNetSocksInfo info) {
        TNetIOHandlerSocket transport;
        connectThrough(transport, info, "127.0.0.1", ftpd->port());
        return readLine(transport).substr(0, 4);
    }
    TempDir tmp;
    std::unique_ptr<FtpdPeer> ftpd;
};

TEST_F(RealSocks, DanteVersionsFourAndFive) {
    DantePeer dante(tmp / "dante");
    EXPECT_EQ(welcomeThrough(socksAt(svSocks4, dante.port())), "220 ");
    EXPECT_EQ(welcomeThrough(socksAt(svSocks5, dante.port())), "220 ");
}

TEST_F(RealSocks, DanteWithSystemUserRefusesVersionFour) {
    DantePeer dante(tmp / "dante", "oxsocks", "sockspw");
    TNetSocksInfo five = socksAt(svSocks5, dante.port());
    five.Authentication = saUsernamePassword;
    five.Username = "oxsocks";
    five.Password = "sockspw";
    EXPECT_EQ(welcomeThrough(five), "220 ");
    five.Password = "wrong";
    EXPECT_THROW(welcomeThrough(five), ENetSocksAuthError);
    EXPECT_THROW(welcomeThrough(socksAt(svSocks4, dante.port())), ENetSocksRequestFailed);
}

TEST_F(RealSocks, MicrosocksWithPassword) {
    MicrosocksPeer micro(tmp / "micro", "mu", "mp");
    TNetSocksInfo info = socksAt(svSocks5, micro.port());
    info.Authentication = saUsernamePassword;
    info.Username = "mu";
    info.Password = "mp";
    EXPECT_EQ(welcomeThrough(info), "220 ");
    // Offering no authentication to a server that demands it.
    EXPECT_THROW(welcomeThrough(socksAt(svSocks5, micro.port())), ENetSocksAuthMethodError);
}

} // namespace
