// Data connections against scripted servers: the order of PASV or PORT, REST, the command and
// the replies; aborted and refused transfers; the resume probe; where a passive connection
// goes; how listings are split and parsed.

#include "ftp/anti_freeze.h"
#include "ftp/ftp.h"
#include "testing/scripted_peer.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

using namespace oxbrook::testing;

namespace {

using Lines = std::vector<std::string>;

void serveLogin(ScriptedSession& s) {
    s.reply("220 ready");
    s.expect("USER");
    s.reply("331 pw");
    s.expect("PASS");
    s.reply("230 in");
    s.expect("TYPE");
    s.reply("200 ok");
    s.expect("SYST");
    s.reply("215 UNIX");
}

// Answers PASV with our data listener (optionally naming another address).
void servePasv(ScriptedSession& s, const std::string& announcedHost = "") {
    s.expect("PASV");
    std::string numbers = s.openPassive();
    if (!announcedHost.empty()) {
        size_t comma = 0;
        for (int i = 0; i < 4; ++i)
            comma = numbers.find(',', comma) + 1;
        numbers = announcedHost + "," + numbers.substr(comma);
    }
    s.reply("227 Entering Passive Mode (" + numbers + ").");
}

struct Client {
    explicit Client(ScriptedPeer::Script after, bool passive = true)
        : peer([after](ScriptedSession& s) {
              serveLogin(s);
              after(s);
          }) {
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.port();
        ftp.Username = "u";
        ftp.Password = "p";
        ftp.Passive = passive;
        ftp.ReadTimeout = 10000;
        ftp.OnStatus = [this](TNetComponent*, TNetStatus, const std::string& text) {
            statuses.push_back(text);
        };
        ftp.Connect(true, 5000);
    }
    Lines commands() {
        EXPECT_TRUE(peer.waitDone());
        EXPECT_EQ(peer.error(), "");
        Lines all = peer.lines();
        return Lines(all.begin() + 4, all.end());
    }
    bool saw(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
    ScriptedPeer peer;
    TNetFTP ftp;
    Lines statuses;
};

TEST(PassiveData, DownloadConnectsBeforeRetrAndReadsTheFinalReply) {
    Client c([](ScriptedSession& s) {
        servePasv(s);
        // The client must connect before it sends RETR: we accept first, then read the line.
        s.acceptData();
        s.expect("RETR file.txt");
        s.reply("150 here it comes");
        s.sendData("payload");
        s.closeData();
        s.reply("226 done");
    });
    TNetMemoryStream out;
    TNetStream* seen = nullptr;
    c.ftp.OnAfterGet = [&](TNetFTP*, TNetStream& s) { seen = &s; };
    c.ftp.RetrieveToStream("file.txt", out, false);
    EXPECT_EQ(out.ToString(), "payload");
    EXPECT_EQ(seen, &out);
    EXPECT_EQ(c.commands(), (Lines{"PASV", "RETR file.txt"}));
    EXPECT_TRUE(c.saw("Starting FTP transfer"));
    EXPECT_TRUE(c.saw("Transfer complete"));
    EXPECT_FALSE(c.saw("Transfer aborted"));
    EXPECT_EQ(c.ftp.DataConnection(), nullptr);
}

TEST(PassiveData, UploadSendsStorBeforeConnecting) {
    std::string received;
    Client c([&received](ScriptedSession& s) {
        servePasv(s);
        // STOR must arrive while nobody has connected yet: the script reads it before it
        // accepts, and only then answers.
        s.expect("STOR up.txt");
        s.reply("150 send it");
        s.acceptData();
        received = s.readDataToClose();
        s.reply("226 stored");
    });
    TNetMemoryStream in;
    in.Write("upload body", 11);
    c.ftp.Store(in, "up.txt", false);
    EXPECT_EQ(c.commands(), (Lines{"PASV", "STOR up.txt"}));
    EXPECT_EQ(received, "upload body");
}

TEST(PassiveData, AnnouncedForeignAddressIsNotFollowed) {
    Client c([](ScriptedSession& s) {
        servePasv(s, "10,0,0,5");
        s.acceptData();
        s.expect("LIST");
        s.reply("150 listing");
        s.sendData("-rw-r--r-- 1 a b 5 Jan 5 2001 f\r\n");
        s.closeData();
        s.reply("226 ok");
    });
    c.ftp.ListDirectory(nullptr, "", true);
    EXPECT_EQ(c.ftp.RawListing, Lines{"-rw-r--r-- 1 a b 5 Jan 5 2001 f"});
    bool logged = false;
    for (const auto& s : c.statuses)
        logged = logged || s.find("10.0.0.5") != std::string::npos;
    EXPECT_TRUE(logged) << "the announced address is still shown";
    c.commands();
}

TEST(PassiveData, PasvReplyForms) {
    for (std::string form : {"227 Entering Passive Mode (10,0,0,5,4,1)", "227 ok 10,0,0,5,4,1",
                             "227 ok 10,0,0,5,4,x"}) {
        Client c([form](ScriptedSession& s) {
            s.expect("PASV");
            s.reply(form);
        });
        if (form.back() == 'x') {
            try {
                c.ftp.RequestPassive();
                ADD_FAILURE();
            } catch (const ENetConvertError& e) {
                EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
            }
        } else {
            auto [address, port] = c.ftp.RequestPassive();
            EXPECT_EQ(address, "10.0.0.5");
            EXPECT_EQ(port, 1025);
        }
    }
}

// 426 or 450 says the data did not all arrive: a success reply after it does not make the
// transfer a success; the bytes stay for a resume and the control connection stays in step.
// 426 is final for the transfer: a server that sends nothing after it is not waited on, and the
// next command gets its own reply, not a late 226.
TEST(PassiveData, AbortRepliesFailTheTransferAndKeepTheBytes) {
    struct Case {
        std::string code, after;
    };
    for (const Case& k : {Case{"426", "226 Abort successful\r\n"},
                          Case{"450", "226 Abort successful\r\n"}, Case{"426", ""}}) {
        Client c([k](ScriptedSession& s) {
            servePasv(s);
            s.acceptData();
            s.expect("RETR x");
            s.reply("150 go");
            s.sendData("part");
            s.closeData();
            // Both replies in one write: the success is there when the failure is read.
            s.send(k.code + " Connection closed; transfer aborted.\r\n" + k.after);
            s.expect("NOOP");
            s.reply("200 fine");
        });
        TNetMemoryStream out;
        try {
            c.ftp.RetrieveToStream("x", out, false);
            ADD_FAILURE() << k.code << " " << k.after;
        } catch (const ENetProtocolReplyError& e) {
            EXPECT_EQ(e.ReplyErrorCode, std::stoi(k.code));
            EXPECT_STREQ(e.what(), "Connection closed; transfer aborted.\r\n");
        }
        EXPECT_EQ(out.ToString(), "part");
        EXPECT_TRUE(c.saw("Transfer aborted"));
        EXPECT_EQ(c.ftp.SendCommand("NOOP", -1), 200) << k.code << " " << k.after;
        EXPECT_EQ(c.ftp.LastReply.Text, Lines{"fine"});
        c.commands();
    }
}

TEST(PassiveData, RefusedCommandRaisesAndReadsNoFinalReply) {
    Client c([](ScriptedSession& s) {
        servePasv(s);
        s.acceptData();
        s.expect("RETR missing");
        s.reply("550 No such file.");
        s.expect("NOOP");
        s.reply("200 fine");
    });
    TNetMemoryStream out;
    try {
        c.ftp.RetrieveToStream("missing", out, false);
        ADD_FAILURE();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
    }
    EXPECT_TRUE(c.saw("Transfer complete"));
    EXPECT_EQ(c.ftp.DataConnection(), nullptr);
    EXPECT_EQ(c.ftp.SendCommand("NOOP", -1), 200);
    c.commands();
}

TEST(PassiveData, UnexpectedFinalReplyRaisesAfterTheData) {
    Client c([](ScriptedSession& s) {
        servePasv(s);
        s.acceptData();
        s.expect("RETR x");
        s.reply("150 go");
        s.sendData("all of it");
        s.closeData();
        s.reply("451 local error");
    });
    TNetMemoryStream out;
    EXPECT_THROW(c.ftp.RetrieveToStream("x", out, false), ENetProtocolReplyError);
    EXPECT_EQ(out.ToString(), "all of it");
    c.commands();
}

TEST(Resume, SupportedRestCarriesTheLocalSize) {
    TempDir tmp;
    writeFile(tmp / "f", std::string(1000, 'a'));
    Client c([](ScriptedSession& s) {
        s.expect("REST 1");
        s.reply("350 ok");
        s.expect("REST 0");
        s.reply("350 ok");
        servePasv(s);
        s.acceptData();
        s.expect("REST 1000");
        s.reply("350 restarting");
        s.expect("RETR f");
        s.reply("150 go");
        s.sendData("bbb");
        s.closeData();
        s.reply("226 done");
    });
    c.ftp.Retrieve("f", (tmp / "f").string(), false, true);
    EXPECT_EQ(readFile(tmp / "f"), std::string(1000, 'a') + "bbb");
    c.commands();
}

TEST(Refusals, PasvAndRestRefusedStopTheTransferBeforeItStarts) {
    Client c([](ScriptedSession& s) {
        s.expect("PASV");
        s.reply("425 Can't open passive connection.");
        s.expect("REST 1");
        s.reply("350 ok");
        s.expect("REST 0");
        s.reply("350 ok");
        servePasv(s);
        s.acceptData();
        s.expect("REST 2");
        s.reply("501 Bad offset");
        s.expect("NOOP");
        s.reply("200 fine");
    });
    TNetMemoryStream out;
    try {
        c.ftp.RetrieveToStream("a", out, false);
        ADD_FAILURE();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 425);
    }
    out.Write("xy", 2);
    try {
        c.ftp.RetrieveToStream("a", out, true);
        ADD_FAILURE();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 501);
    }
    EXPECT_EQ(c.ftp.DataConnection(), nullptr);
    EXPECT_EQ(c.ftp.SendCommand("NOOP", -1), 200);
    EXPECT_EQ(c.commands(), (Lines{"PASV", "REST 1", "REST 0", "PASV", "REST 2", "NOOP"}));
}

TEST(Refusals, UploadRefusedAfterTheCommand) {
    Client c([](ScriptedSession& s) {
        servePasv(s);
        s.expect("STOR locked.txt");
        s.reply("553 Could not create file.");
        s.expect("NOOP");
        s.reply("200 fine");
    });
    TNetMemoryStream in;
    in.Write("x", 1);
    EXPECT_THROW(c.ftp.Store(in, "locked.txt", false), ENetProtocolReplyError);
    EXPECT_TRUE(c.saw("Transfer complete"));
    EXPECT_EQ(c.ftp.SendCommand("NOOP", -1), 200);
    c.commands();
}

TEST(Resume, RefusedProbeIsNeverRepeated) {
    TempDir tmp;
    writeFile(tmp / "f", "old");
    Client c([](ScriptedSession& s) {
        s.expect("REST 1");
        s.reply("502 no REST");
        s.expect("REST 0");
        s.reply("502 no REST");
        servePasv(s);
        s.acceptData();
        s.expect("RETR f");
        s.reply("150 go");
        s.sendData("whole");
        s.closeData();
        s.reply("226 done");
    });
    TNetMemoryStream out;
    out.Write("xy", 2);
    c.ftp.RetrieveToStream("f", out, true);
    EXPECT_EQ(out.ToString(), "xywhole");
    EXPECT_THROW(c.ftp.Retrieve("f", (tmp / "f").string(), false, true), ENetFTPFileAlreadyExists);
    EXPECT_THROW(c.ftp.Retrieve("f", (tmp / "f").string(), false, false), ENetFTPFileAlreadyExists);
    EXPECT_EQ(c.commands(), (Lines{"REST 1", "REST 0", "PASV", "RETR f"}));
    EXPECT_EQ(readFile(tmp / "f"), "old");
}

TEST(Store, UniqueAndAppendCommandTexts) {
    std::string first, second;
    Client c([&](ScriptedSession& s) {
        servePasv(s);
        s.expect("STOU ");
        s.reply("150 FILE: u1");
        s.acceptData();
        first = s.readDataToClose();
        s.reply("226 stored as u1");
        servePasv(s);
        s.expect("APPE log");
        s.reply("150 go");
        s.acceptData();
        second = s.readDataToClose();
        s.reply("226 appended");
    });
    TNetMemoryStream in;
    in.Write("0123456789", 10);
    c.ftp.Store(in, "", false);
    in.SetPosition(4);
    c.ftp.Store(in, "log", true);
    EXPECT_EQ(c.commands(), (Lines{"PASV", "STOU ", "PASV", "APPE log"}));
    EXPECT_EQ(first, "0123456789");
    EXPECT_EQ(second, "456789") << "an append sends from the stream's position";
}

TEST(Listing, LinesSplitAtEveryLineEndAndStopAtNul) {
    Client c([](ScriptedSession& s) {
        servePasv(s);
        s.acceptData();
        s.expect("NLST *.txt");
        s.reply("150 names");
        s.sendData(std::string("a.txt\r\nb.txt\nc.txt\rd.txt\0ignored\r\n", 33));
        s.closeData();
        s.reply("226 ok");
    });
    Lines dest = {"stale"};
    c.ftp.ListDirectory(&dest, "*.txt  ", false);
    EXPECT_EQ(dest, (Lines{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(c.ftp.RawListing, dest);
    EXPECT_EQ(c.ftp.DirectoryListing().Count(), 0) << "names alone read as an unknown format";
    c.commands();
}

TEST(Listing, DosListingThroughTheHandlers) {
    Client c([](ScriptedSession& s) {
        for (int i = 0; i < 2; ++i) {
            servePasv(s);
            s.acceptData();
            s.expect("LIST");
            s.reply("150 listing");
            s.sendData("02-05-02  03:41PM       <DIR>          Program Files\r\n"
                       "02-05-02  03:41PM                 1234 setup.exe\r\n");
            s.closeData();
            s.reply("226 ok");
        }
    });
    c.ftp.ListDirectory(nullptr, "", true);
    auto& list = c.ftp.DirectoryListing();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ListFormat, FormatDos);
    EXPECT_EQ(list[0].EntryName, "Program Files");
    EXPECT_EQ(list[0].EntryKind, EntryDirectory);
    EXPECT_EQ(list[1].ByteSize, 1234);

    // The handlers may supply the collection and overrule the format.
    int created = 0;
    std::string checkedLine;
    c.ftp.OnCreateFTPList = [&](TNetFTP*, std::unique_ptr<TNetFTPListItems>& l) {
        ++created;
        l = std::make_unique<TNetFTPListItems>();
    };
    c.ftp.OnCheckListFormat = [&](TNetFTP*, const std::string& line, TNetFTPListFormat& f) {
        checkedLine = line;
        f = FormatCustom;
    };
    c.ftp.OnParseCustomListFormat = [](TNetFTPListItem& item) { item.EntryName = "custom"; };
    c.ftp.ListDirectory(nullptr, "", true);
    auto& custom = c.ftp.DirectoryListing();
    EXPECT_EQ(created, 1);
    EXPECT_EQ(checkedLine, "02-05-02  03:41PM       <DIR>          Program Files");
    ASSERT_EQ(custom.Count(), 2);
    EXPECT_EQ(custom[1].EntryName, "custom");
    c.commands();
}

TEST(Listing, ParsedWhileArrivingAndKeptWhenTheNextListingFails) {
    // A long Unix listing in pieces that cut lines (and a CR from its LF), then a listing the
    // server breaks off.
    std::string text = "total 900\r\n";
    for (int i = 0; i < 600; ++i)
        text += "-rw-r--r--   1 ftp ftp " + std::to_string(i) + " Jan 05 12:30 f" +
                std::to_string(i) + ".dat\r\n";
    Client c([text](ScriptedSession& s) {
        servePasv(s);
        s.acceptData();
        s.expect("LIST");
        s.reply("150 listing");
        for (size_t at = 0; at < text.size(); at += 4093)
            s.sendData(text.substr(at, 4093));
        s.closeData();
        s.reply("226 ok");
        servePasv(s);
        s.acceptData();
        s.expect("LIST");
        s.reply("150 listing");
        s.sendData("-rw-r--r--   1 ftp ftp 1 Jan 05 12:30 partial.dat\r\n");
        s.closeData();
        s.reply("426 connection closed; transfer aborted");
    });
    c.ftp.ListDirectory(nullptr, "", true);
    const TNetFTPListItems& list = c.ftp.DirectoryListing();
    ASSERT_EQ(c.ftp.RawListing.size(), 601u);
    TNetFTPListItems afterwards;
    afterwards.LoadListing(c.ftp.RawListing);
    ASSERT_EQ(list.Count(), 600);
    ASSERT_EQ(afterwards.Count(), 600);
    EXPECT_EQ(list.ListFormat, FormatUnix);
    for (int i = 0; i < 600; ++i) {
        EXPECT_EQ(list[i].EntryName, afterwards[i].EntryName);
        EXPECT_EQ(list[i].ByteSize, i);
        EXPECT_EQ(list[i].ModifiedAt, afterwards[i].ModifiedAt);
    }
    EXPECT_EQ(list[599].EntryName, "f599.dat");

    EXPECT_THROW(c.ftp.ListDirectory(nullptr, "", true), ENetProtocolReplyError);
    EXPECT_EQ(&c.ftp.DirectoryListing(), &list) << "the listing that failed replaces nothing";
    EXPECT_EQ(c.ftp.DirectoryListing().Count(), 600);
    EXPECT_EQ(c.ftp.RawListing.size(), 601u);
    c.commands();
}

TEST(ActiveData, PortThenCommandThenAccept) {
    Client c(
        [](ScriptedSession& s) {
            std::string port = s.expect("PORT ");
            s.reply("200 PORT ok");
            s.expect("RETR a");
            // The preliminary reply goes out before the connection is made.
            s.reply("150 connecting");
            s.connectData(port.substr(5));
            s.sendData("active bytes");
            s.closeData();
            s.reply("226 done");
        },
        false);
    TNetMemoryStream out;
    c.ftp.RetrieveToStream("a", out, false);
    EXPECT_EQ(out.ToString(), "active bytes");
    Lines cmds = c.commands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_TRUE(cmds[0].starts_with("PORT 127,0,0,1,")) << cmds[0];
}

TEST(ActiveData, ConnectionFromAnotherHostIsNotTaken) {
    Client c(
        [](ScriptedSession& s) {
            std::string port = s.expect("PORT ").substr(5);
            s.reply("200 PORT ok");
            s.expect("RETR a");
            s.reply("150 connecting");
            // Someone else reaches the announced port first.
            s.connectData(port, "127.0.0.2");
            try {
                s.sendData("forged bytes");
            } catch (const ScriptError&) {
            }
            s.closeData();
            s.connectData(port);
            s.sendData("server bytes");
            s.closeData();
            s.reply("226 done");
        },
        false);
    TNetMemoryStream out;
    c.ftp.RetrieveToStream("a", out, false);
    EXPECT_EQ(out.ToString(), "server bytes");
    c.commands();
}

TEST(ActiveData, RefusedPortStopsTheTransfer) {
    Client c(
        [](ScriptedSession& s) {
            s.expect("PORT ");
            s.reply("500 PORT refused");
        },
        false);
    TNetMemoryStream out;
    EXPECT_THROW(c.ftp.RetrieveToStream("a", out, false), ENetProtocolReplyError);
    EXPECT_EQ(c.ftp.DataConnection(), nullptr);
    c.commands();
}

TEST(ActiveData, AbortWhileWaitingToAcceptEndsTheWait) {
    Client c(
        [](ScriptedSession& s) {
            s.expect("PORT ");
            s.reply("200 PORT ok");
            s.expect("RETR slow");
            s.reply("150 will connect later");
            s.expect("ABOR");
        },
        false);
    TNetAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    bool aborted = false;
    TNetAntiFreeze::SetPumpHook([&](bool) {
        // Only once the 150 is in and the client waits for the server's connection.
        if (!aborted && c.ftp.DataConnection() && c.ftp.LastReply.NumericCode() == 150) {
            aborted = true;
            c.ftp.AbortTransfer();
        }
    });
    TNetMemoryStream out;
    try {
        c.ftp.RetrieveToStream("slow", out, false);
        ADD_FAILURE();
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    TNetAntiFreeze::SetPumpHook({});
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(c.saw("Transfer complete"));
    c.commands();
}

} // namespace
