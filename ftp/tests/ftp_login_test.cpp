// Connect and login with every FTP proxy scheme, and the commands without a data connection,
// against scripted servers: the exact lines sent and how each reply is taken.

#include "ftp/ftp.h"
#include "testing/scripted_peer.h"

#include <gtest/gtest.h>

using namespace oxbrook::testing;

namespace {

using Lines = std::vector<std::string>;

// Answers a login: USER with 331, PASS with 230, TYPE with 200, SYST with 215.
void serveLogin(ScriptedSession& s, int lines) {
    for (int i = 0; i < lines; ++i) {
        std::string line = s.readLine();
        if (line.starts_with("USER"))
            s.reply("331 password please");
        else if (line.starts_with("PASS"))
            s.reply("230 logged in");
        else if (line.starts_with("SYST"))
            s.reply("215 UNIX Type: L8");
        else
            s.reply("200 ok");
    }
}

struct Scheme {
    TNetFtpProxyType type;
    std::string proxyUser, proxyPassword;
    Lines expected;
};

class ProxyLogin : public ::testing::TestWithParam<Scheme> {};

TEST_P(ProxyLogin, SendsTheSchemesCommands) {
    const Scheme& sc = GetParam();
    int count = static_cast<int>(sc.expected.size());
    ScriptedPeer proxy([count](ScriptedSession& s) {
        s.reply("220 proxy ready");
        serveLogin(s, count);
    });
    TNetFTP ftp;
    ftp.Host = "ftp.example";
    ftp.Port = 2121;
    ftp.Username = "joe";
    ftp.Password = "secret";
    ftp.ProxySettings.ProxyType = sc.type;
    ftp.ProxySettings.Host = "127.0.0.1";
    ftp.ProxySettings.Port = proxy.port();
    ftp.ProxySettings.UserName = sc.proxyUser;
    ftp.ProxySettings.Password = sc.proxyPassword;
    ftp.Connect(true, 5000);
    EXPECT_EQ(ftp.Host, "ftp.example") << "the FTP server's address is restored";
    EXPECT_EQ(ftp.Port, 2121);
    EXPECT_EQ(ftp.ServerSystem, "UNIX Type: L8");
    EXPECT_EQ(ftp.LoginReply.NumericCode(), 230);
    ftp.Disconnect();
    ASSERT_TRUE(proxy.waitDone());
    EXPECT_EQ(proxy.error(), "");
    EXPECT_EQ(proxy.lines(), sc.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, ProxyLogin,
    ::testing::Values(
        Scheme{fpcmUserSite,
               "pu",
               "pp",
               {"USER pu", "PASS pp", "USER joe@ftp.example", "PASS secret", "TYPE I", "SYST"}},
        Scheme{fpcmSite, "", "", {"SITE ftp.example", "USER joe", "PASS secret", "TYPE I", "SYST"}},
        Scheme{fpcmSite,
               "pu",
               "pp",
               {"USER pu", "PASS pp", "SITE ftp.example", "USER joe", "PASS secret", "TYPE I",
                "SYST"}},
        Scheme{fpcmOpen, "", "", {"OPEN ftp.example", "USER joe", "PASS secret", "TYPE I", "SYST"}},
        Scheme{fpcmUserPass,
               "pu",
               "pp",
               {"USER joe@pu@ftp.example", "PASS secret@pp", "TYPE I", "SYST"}},
        Scheme{
            fpcmUserPass, "pu", "", {"USER joe@pu@ftp.example", "PASS secret", "TYPE I", "SYST"}},
        Scheme{fpcmTransparent,
               "pu",
               "pp",
               {"USER pu", "PASS pp", "USER joe", "PASS secret", "TYPE I", "SYST"}}));

// A connected client on a scripted server that has already answered the login.
struct Session {
    explicit Session(ScriptedPeer::Script after, TNetFTPTransferType type = ftBinary)
        : peer([after](ScriptedSession& s) {
              s.reply("220 ready");
              serveLogin(s, 4);
              after(s);
          }) {
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.Username = "u";
        ftp.Password = "p";
        ftp.SetTransferType(type);
        ftp.Connect(true, 5000);
    }
    Lines commandsAfterLogin() {
        EXPECT_TRUE(peer.waitDone());
        EXPECT_EQ(peer.error(), "");
        Lines all = peer.lines();
        return Lines(all.begin() + std::min<size_t>(4, all.size()), all.end());
    }
    ScriptedPeer peer;
    TNetFTP ftp;
};

TEST(Connect, DirectLoginSendsUserPasswordTypeAndSyst) {
    Session s([](ScriptedSession&) {});
    EXPECT_EQ(s.peer.lines(), (Lines{"USER u", "PASS p", "TYPE I", "SYST"}));
}

TEST(Connect, AfterLoginHandlerRunsBeforeSyst) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220 ready");
        serveLogin(s, 4);
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.Username = "u";
    ftp.Password = "p";
    Lines seenAtLogin;
    ftp.OnAfterClientLogin = [&](TNetTCPConnection* sender) {
        EXPECT_EQ(sender, &ftp);
        seenAtLogin = peer.lines();
    };
    ftp.Connect(true, 5000);
    EXPECT_EQ(seenAtLogin, (Lines{"USER u", "PASS p", "TYPE I"}));
}

TEST(Connect, WithoutAutoLoginOnlyTheWelcomeIsRead) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220-Welcome");
        s.reply("220 to the server");
        s.waitClientClose();
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.Connect(false, 5000);
    EXPECT_EQ(ftp.WelcomeReply.Text, (Lines{"Welcome", "to the server"}));
    EXPECT_EQ(ftp.LoginReply.NumericCode(), 0);
    ftp.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_TRUE(peer.lines().empty());
}

TEST(Connect, FailedProxyConnectRestoresTheServerAddress) {
    int closedPort = 0;
    {
        ScriptedPeer gone([](ScriptedSession&) {});
        closedPort = gone.port();
    }
    TNetFTP ftp;
    ftp.Host = "ftp.example";
    ftp.Port = 2121;
    ftp.ProxySettings.ProxyType = fpcmUserSite;
    ftp.ProxySettings.Host = "127.0.0.1";
    ftp.ProxySettings.Port = closedPort;
    EXPECT_THROW(ftp.Connect(true, 2000), ENetException);
    EXPECT_EQ(ftp.Host, "ftp.example");
    EXPECT_EQ(ftp.Port, 2121);
    EXPECT_FALSE(ftp.Connected());
}

TEST(Connect, UserAcceptedAtOnceGetsNoPassword) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220 ready");
        s.expect("USER anonymous");
        s.reply("230 welcome");
        s.expect("TYPE A");
        s.reply("200 ok");
        s.expect("SYST");
        s.reply("500 what?");
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.Username = "anonymous";
    ftp.SetTransferType(ftASCII);
    std::vector<std::string> statuses;
    ftp.OnStatus = [&](TNetComponent*, TNetStatus, const std::string& text) {
        statuses.push_back(text);
    };
    ftp.Connect(true, 5000);
    EXPECT_EQ(ftp.ServerSystem, "Unknown");
    EXPECT_EQ(ftp.WelcomeReply.Text, Lines{"ready"});
    EXPECT_EQ(statuses.back(), "Connection established");
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.error(), "");
}

TEST(Connect, RefusalsCloseTheConnection) {
    struct Case {
        std::function<void(ScriptedSession&)> script;
        int code;
        std::string message;
    } cases[] = {
        {[](ScriptedSession& s) { s.reply("421 Service closing"); }, 421, "Service closing\r\n"},
        {[](ScriptedSession& s) {
             s.reply("220 ready");
             s.expect("USER");
             s.reply("530 no such user");
         },
         530, "no such user\r\n"},
        {[](ScriptedSession& s) {
             s.reply("220 ready");
             s.expect("USER");
             s.reply("331 pw");
             s.expect("PASS");
             s.reply("530-Login incorrect.");
             s.reply("530 Try again.");
         },
         530, "Login incorrect.\r\nTry again.\r\n"},
        {[](ScriptedSession& s) {
             s.reply("220 ready");
             serveLogin(s, 3);
             s.expect("SYST");
             s.reply("502 not here");
         },
         502, "not here\r\n"},
    };
    for (auto& c : cases) {
        ScriptedPeer peer([&](ScriptedSession& s) {
            c.script(s);
            EXPECT_TRUE(s.waitClientClose());
        });
        TNetFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        try {
            ftp.Connect(true, 5000);
            ADD_FAILURE() << "no error for " << c.code;
        } catch (const ENetProtocolReplyError& e) {
            EXPECT_EQ(e.ReplyErrorCode, c.code);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_FALSE(ftp.Connected());
        EXPECT_TRUE(peer.waitDone());
    }
}

TEST(Connect, HttpProxySchemeIsRefused) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220 ready");
        s.waitClientClose();
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.ProxySettings.ProxyType = fpcmHttpProxyWithFtp;
    EXPECT_THROW(
        {
            try {
                ftp.Connect(true, 5000);
            } catch (const ENetException& e) {
                EXPECT_STREQ(e.what(), "Command not supported.");
                throw;
            }
        },
        ENetException);
    EXPECT_FALSE(ftp.Connected());
    ASSERT_TRUE(peer.waitDone());
    EXPECT_TRUE(peer.lines().empty()) << "nothing is sent";
}

TEST(Connect, AgainWhileConnectedFailsAndCloses) {
    Session s([](ScriptedSession& ss) { ss.waitClientClose(); });
    EXPECT_THROW(s.ftp.Connect(true, 5000), ENetAlreadyConnected);
    EXPECT_FALSE(s.ftp.Connected());
}

TEST(Connect, OpenSchemeWithoutProxyHostGoesStraightToTheServer) {
    ScriptedPeer peer([](ScriptedSession& s) {
        s.reply("220 direct");
        serveLogin(s, 5);
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.Username = "u";
    ftp.ProxySettings.ProxyType = fpcmOpen;
    ftp.Connect(true, 5000);
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(peer.lines()[0], "OPEN 127.0.0.1");
}

TEST(Commands, DirectoryAndFileCommandsSendTheirLines) {
    Session s([](ScriptedSession& ss) {
        ss.expect("CWD /pub");
        ss.reply("250 ok");
        ss.expect("MKD new");
        ss.reply("257 \"new\" created");
        ss.expect("RMD old");
        ss.reply("250 gone");
        ss.expect("DELE f");
        ss.reply("250 deleted");
        ss.expect("RNFR a");
        ss.reply("350 ready");
        ss.expect("RNTO b");
        ss.reply("250 renamed");
        ss.expect("CWD missing");
        ss.reply("550 No such directory.");
        ss.expect("NOOP");
        ss.reply("200 still here");
    });
    s.ftp.ChangeDirectory("/pub");
    s.ftp.MakeDirectory("new");
    s.ftp.RemoveDirectory("old");
    s.ftp.DeleteFile("f");
    s.ftp.RenameFile("a", "b");
    try {
        s.ftp.ChangeDirectory("missing");
        ADD_FAILURE();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
    }
    EXPECT_TRUE(s.ftp.Connected()) << "a refusal keeps the connection";
    EXPECT_EQ(s.ftp.SendCommand("NOOP", -1), 200);
    s.commandsAfterLogin();
}

TEST(Commands, CurrentDirectoryQuoteRules) {
    const std::pair<std::string, std::string> cases[] = {
        {"257 \"/home/joe\" is current", "/home/joe"},
        {"257 \"/a\"\"b\" quoted", "/a"},
        {"257 /no/quotes", ""},
        {"257 \"unterminated", ""},
        {"257 \"\"", ""},
    };
    for (const auto& [reply, expected] : cases) {
        std::string r = reply;
        Session s([r](ScriptedSession& ss) {
            ss.expect("PWD");
            ss.reply(r);
        });
        EXPECT_EQ(s.ftp.CurrentDirectory(), expected) << reply;
    }
}

TEST(Commands, FileSizeReadsSixtyFourBitsAndRefusalsGiveMinusOne) {
    const std::pair<std::string, int64_t> cases[] = {
        {"213 1234", 1234}, {"213 file.bin 4321", 4321}, {"213 5368709120", 5368709120LL},
        {"213 lots", -1},   {"550 No such file", -1},    {"500 SIZE not understood", -1},
    };
    for (const auto& [reply, expected] : cases) {
        std::string r = reply;
        Session s([r](ScriptedSession& ss) {
            ss.expect("SIZE x");
            ss.reply(r);
        });
        EXPECT_EQ(s.ftp.FileSize("x"), expected) << reply;
    }
}

TEST(Commands, TransferTypeIsSentOnlyWhenItChanges) {
    Session s([](ScriptedSession& ss) {
        ss.expect("TYPE A");
        ss.reply("200 ascii");
        ss.expect("NOOP");
        ss.reply("200 ok");
    });
    s.ftp.SetTransferType(ftBinary);
    s.ftp.SetTransferType(ftASCII);
    s.ftp.SetTransferType(ftASCII);
    s.ftp.SendCommand("NOOP", -1);
    EXPECT_EQ(s.commandsAfterLogin(), (Lines{"TYPE A", "NOOP"}));
}

TEST(Commands, OddRepliesAreReadWhole) {
    Session s([](ScriptedSession& ss) {
        ss.expect("HELP");
        ss.send("\r\n214-The following\r\n  two lines\r\n214 end\r\n");
        ss.expect("NOOP");
        ss.reply("200");
    });
    EXPECT_EQ(s.ftp.SendCommand("HELP", -1), 214);
    EXPECT_EQ(s.ftp.LastReply.Text, (Lines{"The following", "lines", "end"}));
    EXPECT_EQ(s.ftp.SendCommand("NOOP", 200), 200);
    EXPECT_EQ(s.ftp.LastReply.Text, Lines{""});
}

TEST(Commands, DisconnectSendsNoQuit) {
    Session s([](ScriptedSession& ss) { EXPECT_TRUE(ss.waitClientClose()); });
    s.ftp.Disconnect();
    EXPECT_FALSE(s.ftp.Connected());
    EXPECT_EQ(s.commandsAfterLogin(), Lines{});
}

} // namespace
