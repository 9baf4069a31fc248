// Tree walks against a hostile server: every folder holds one more folder (an endless tree),
// a link to itself, "." and "..", and names that would lead out of the folder.

#include "browser/export_listing.h"
#include "browser/tests/remote_tools_support.h"
#include "testing/scripted_peer.h"

namespace {

using oxbrook::testing::ScriptedPeer;
using oxbrook::testing::ScriptedSession;
using oxbrook::testing::ScriptError;

// Serves one session: any absolute folder exists; a relative CWD is refused.
void serveEndlessTree(ScriptedSession& s) {
    s.reply("220 scripted");
    std::string cwd = "/";
    try {
        for (;;) {
            const std::string line = s.readLine();
            const std::string verb = line.substr(0, line.find(' '));
            const std::string arg = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
            if (verb == "USER") {
                s.reply("331 password");
            } else if (verb == "PASS") {
                s.reply("230 in");
            } else if (verb == "SYST") {
                s.reply("215 UNIX Type: L8");
            } else if (verb == "TYPE") {
                s.reply("200 ok");
            } else if (verb == "PWD") {
                s.reply("257 \"" + cwd + "\"");
            } else if (verb == "CWD") {
                if (arg.empty() || arg[0] != '/') {
                    s.reply("550 only full paths here");
                    continue;
                }
                cwd = arg;
                s.reply("250 ok");
            } else if (verb == "PASV") {
                s.reply("227 Entering Passive Mode (" + s.openPassive() + ")");
            } else if (verb == "LIST") {
                s.reply("150 listing");
                s.acceptData();
                const std::string folder = cwd == "/" ? "deep" : "d";
                s.sendData("drwxr-xr-x 1 u g 0 Dec 09 11:28 .\r\n"
                           "drwxr-xr-x 1 u g 0 Dec 09 11:28 ..\r\n"
                           "drwxr-xr-x 1 u g 0 Dec 09 11:28 " +
                           folder +
                           "\r\n"
                           "-rw-r--r-- 1 u g 5 Dec 09 11:28 ../escape.txt\r\n"
                           "drwxr-xr-x 1 u g 0 Dec 09 11:28 ../up\r\n"
                           "lrwxrwxrwx 1 u g 1 Dec 09 11:28 loop -> .\r\n");
                s.closeData();
                s.reply("226 done");
            } else {
                s.reply("250 ok");
            }
        }
    } catch (const ScriptError&) {
        // The client went away.
    }
}

TEST_F(RemoteToolsTest, WalksStayInTheTreeStopAt256AndComeBack) {
    ScriptedPeer peer(serveEndlessTree);
    connectTo(peer.port(), true);
    ASSERT_GE(rowOf("deep"), 0) << frame->infoLines().join("\n").toStdString();
    const auto wire = [&peer] {
        QStringList lines;
        for (const std::string& line : peer.lines())
            lines << QString::fromStdString(line);
        return lines;
    };

    const auto checkWalk = [&](const char* what) {
        const QStringList lines = wire();
        const QStringList cwds = lines.filter(QRegularExpression("^CWD "));
        int deepest = 0;
        for (const QString& cwd : cwds) {
            EXPECT_FALSE(cwd.contains("loop") || cwd.contains("..") || cwd.contains("up"))
                << what << ": " << cwd.toStdString();
            deepest = std::max(deepest, static_cast<int>(cwd.count('/')));
        }
        EXPECT_EQ(deepest, 256) << what;
        EXPECT_EQ(cwds.last(), "CWD /") << what;
        EXPECT_TRUE(lines.filter("escape").isEmpty()) << what;
        EXPECT_TRUE(frame->browseEnabled()) << what;
        EXPECT_TRUE(infoHas("deeper than 256")) << what;
        EXPECT_EQ(frame->currentPath(), "/") << what;
        frame->infoPane()->clear();
    };

    // Delete: a link is removed as a link, never entered; the endless folder stops the walk.
    select({"deep"});
    EXPECT_TRUE(ops().DeleteEntries({"deep"}).isEmpty());
    checkWalk("delete");
    EXPECT_TRUE(wire().filter("RMD").isEmpty());
    EXPECT_EQ(wire().filter(QRegularExpression("^DELE loop$")).size(), 256);
    EXPECT_GE(rowOf("deep"), 0);

    const qsizetype before = wire().size();
    ops().ChangeMode({"deep"}, 700, true);
    checkWalk("chmod");
    EXPECT_TRUE(wire().mid(before).filter("SITE").isEmpty());

    const QString file = path("endless.txt");
    EXPECT_FALSE(TExportListing::Of(*frame).ExportWhole(file));
    checkWalk("export");
    EXPECT_FALSE(QFileInfo::exists(file));
}

} // namespace
