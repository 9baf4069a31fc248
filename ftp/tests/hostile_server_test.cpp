// Servers that misbehave on purpose: a server that goes silent at each step of a session, a
// reply that never ends, numbers out of range in PASV; each ends with a clear error in time.

#include "ftp/ftp.h"
#include "ftp/reply_parsers.h"
#include "testing/scripted_peer.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace oxbrook::testing;
using namespace std::chrono;

namespace {

constexpr int LimitMs = 300;

void pasv(ScriptedSession& s) {
    s.expect("PASV");
    s.reply("227 Entering Passive Mode (" + s.openPassive() + ").");
}

// The server stops talking and only waits for the client to go.
void silence(ScriptedSession& s) {
    s.waitClientClose(seconds(10));
}

struct SilentStep {
    const char* name;
    bool passive;
    ScriptedPeer::Script script;
    // What the client does after logging in: a download, an upload, or nothing.
    enum { Nothing, Download, Upload } action;
    const char* message;
};

TEST(SilentServer, EveryStepEndsWithinTheTimeoutNamingIt) {
    const SilentStep steps[] = {
        {"greeting", true, silence, SilentStep::Nothing, "Read Timeout (greeting)"},
        {"login", true,
         [](ScriptedSession& s) {
             s.reply("220 ready");
             s.expect("USER");
             silence(s);
         },
         SilentStep::Nothing, "Read Timeout (reply to USER)"},
        {"passive reply", true,
         [](ScriptedSession& s) {
             ServeQuickLogin(s);
             s.expect("PASV");
             silence(s);
         },
         SilentStep::Download, "Read Timeout (reply to PASV)"},
        {"passive data", true,
         [](ScriptedSession& s) {
             ServeQuickLogin(s);
             pasv(s);
             s.acceptData();
             s.expect("RETR");
             s.reply("150 here it comes");
             s.sendData("a few bytes, then nothing");
             silence(s);
         },
         SilentStep::Download, "Read Timeout (data connection)"},
        {"final reply", true,
         [](ScriptedSession& s) {
             ServeQuickLogin(s);
             pasv(s);
             s.acceptData();
             s.expect("RETR");
             s.reply("150 here it comes");
             s.sendData("all of it");
             s.closeData();
             silence(s);
         },
         SilentStep::Download, "Read Timeout (reply to RETR)"},
        {"active accept", false,
         [](ScriptedSession& s) {
             ServeQuickLogin(s);
             s.expect("PORT");
             s.reply("200 ok");
             s.expect("RETR");
             s.reply("150 will connect");
             silence(s);
         },
         SilentStep::Download, "Read Timeout (server's connection to the data port)"},
        {"upload data", true,
         [](ScriptedSession& s) {
             ServeQuickLogin(s);
             pasv(s);
             s.expect("STOR");
             s.acceptData();
             s.reply("150 send it");
             silence(s); // never reads: the client's sends fill the socket buffers
         },
         SilentStep::Upload, "Write Timeout (data connection)"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        ScriptedPeer peer(step.script);
        TNetFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.Passive = step.passive;
        ftp.ReadTimeout = LimitMs;
        std::string error;
        const auto start = steady_clock::now();
        try {
            ftp.Connect(true, 5000);
            if (step.action == SilentStep::Download) {
                TNetMemoryStream out;
                ftp.RetrieveToStream("f", out, false);
            } else if (step.action == SilentStep::Upload) {
                TNetMemoryStream in;
                const std::string block(1 << 20, 'u');
                for (int i = 0; i < 64; ++i)
                    in.Write(block.data(), static_cast<int64_t>(block.size()));
                ftp.Store(in, "f", false);
            }
        } catch (const ENetException& e) {
            error = e.what();
        }
        const auto took = duration_cast<milliseconds>(steady_clock::now() - start).count();
        EXPECT_EQ(error, step.message);
        EXPECT_LT(took, LimitMs + 3000) << "the wait must end soon after its limit";
        ftp.Disconnect();
    }
}

// A reply may not grow without end: more than 1000 lines or 64 KiB is a protocol error, and the
// connection is closed instead of being read on.
TEST(EndlessReply, IsCutOffAtItsLimits) {
    const struct {
        const char* name;
        int lines;
        std::string line;
    } cases[] = {
        {"many short lines", 1001, "220-x"},
        {"long lines", 70, "220-" + std::string(1000, 'y')},
        {"blank lines", 2000, ""},
        {"one huge line", 1, "220-" + std::string(100000, 'z')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer([&c](ScriptedSession& s) {
            s.reply("220-start");
            std::string chunk;
            for (int i = 0; i < c.lines; ++i)
                chunk += c.line + "\r\n";
            try {
                s.send(chunk + "220 end\r\n");
            } catch (const ScriptError&) {
                // The client hung up in the middle: what the test expects.
            }
        });
        TNetFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.ReadTimeout = 5000;
        ftp.MaxLineLength = 0; // no line limit: only the reply's own bound applies
        try {
            ftp.Connect(false, 5000);
            ADD_FAILURE() << "the reply was accepted";
        } catch (const ENetProtocolError& e) {
            EXPECT_STREQ(e.what(), "Reply too long: more than 1000 lines or 65536 bytes.");
        }
        EXPECT_FALSE(ftp.Connected());
    }
    // Just under both limits still reads.
    ScriptedPeer peer([](ScriptedSession& s) {
        std::string reply = "220-start\r\n";
        for (int i = 0; i < 997; ++i)
            reply += "220-" + std::string(55, 'k') + "\r\n";
        s.send(reply + "220 end\r\n");
        s.waitClientClose();
    });
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = peer.port();
    ftp.ReadTimeout = 5000;
    ftp.Connect(false, 5000);
    EXPECT_EQ(ftp.WelcomeReply.Text.size(), 999u);
}

TEST(PassiveReply, NumbersOutOfRangeAreRefusedBeforeUse) {
    const struct {
        const char* text;
        const char* error; // empty: parses
    } cases[] = {
        {"Entering Passive Mode (10,0,0,5,4,1).", ""},
        {"Entering Passive Mode (127,0,0,1,256,1)", "Invalid PASV reply: '256' is outside 0-255."},
        {"(127,0,0,1,1,-1)", "Invalid PASV reply: '-1' is outside 0-255."},
        {"(300,0,0,1,1,1)", "Invalid PASV reply: '300' is outside 0-255."},
        {"(1,2,3,4,2147483647,2147483647)", "Invalid PASV reply: '2147483647' is outside 0-255."},
        {"(1,2,3,4,99999999999999999999,1)", "'99999999999999999999' is not a valid integer value"},
        {"(1,2,3,4,5)", "'' is not a valid integer value"},
        {"(1,2,3,4,5,\x1b[2J)", "'\\x1B[2J' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        try {
            auto [address, port] = ParsePassiveReply(c.text);
            EXPECT_EQ(address, "10.0.0.5");
            EXPECT_EQ(port, 1025);
        } catch (const ENetException& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
    }
}

TEST(PortCommand, OnlyAnIPv4AddressAndAPortInRangeAreSent) {
    EXPECT_EQ(BuildPortArgument("192.168.1.2", 4711), "192,168,1,2,18,103");
    const std::pair<std::string, int> refused[] = {
        {"192.168.1.2", 65536}, {"192.168.1.2", -1}, {"192.168.1.256", 21},
        {"192.168.1", 21},      {"1.2.3.4.5", 21},   {"::1", 21},
    };
    for (const auto& [ip, port] : refused)
        EXPECT_THROW(BuildPortArgument(ip, port), ENetProtocolError) << ip << " " << port;
}

} // namespace
