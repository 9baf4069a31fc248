// What no real server does on demand: a listing with names that lead out of the folder, and a
// connection that drops in the middle of a file.

#include "browser/duplicate_form.h"
#include "browser/tests/transfer_test_support.h"
#include "testing/scripted_peer.h"

#include <atomic>

namespace {

using oxbrook::testing::ScriptedPeer;
using oxbrook::testing::ScriptedSession;
using oxbrook::testing::ScriptError;

struct ServedFile {
    std::string name;
    std::string bytes;
};

// A small FTP server for one session: logs in anybody, knows one folder "/" with a folder
// "evil" of the given listing lines and the served files; with `dropAfter`, the first RETR
// sends that many bytes and then closes both connections.
void serve(ScriptedSession& s, const std::vector<std::string>& evilListing,
           const std::vector<ServedFile>& files, size_t dropAfter) {
    s.reply("220 scripted");
    std::string cwd = "/";
    size_t restart = 0;
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
            } else if (verb == "TYPE" || verb == "NOOP") {
                s.reply("200 ok");
            } else if (verb == "PWD") {
                s.reply("257 \"" + cwd + "\"");
            } else if (verb == "CWD") {
                if (arg == "..")
                    cwd = "/";
                else if (arg == "/" || arg == "evil" || arg == "/evil")
                    cwd = arg == "/" ? "/" : "/evil";
                else {
                    s.reply("550 no such folder");
                    continue;
                }
                s.reply("250 ok");
            } else if (verb == "PASV") {
                s.reply("227 Entering Passive Mode (" + s.openPassive() + ")");
            } else if (verb == "REST") {
                restart = std::stoul(arg);
                s.reply("350 restarting");
            } else if (verb == "SIZE") {
                s.reply("550 no size");
            } else if (verb == "ABOR") {
                s.reply("225 nothing to abort");
            } else if (verb == "LIST") {
                s.reply("150 listing");
                s.acceptData();
                std::string text;
                if (cwd == "/evil") {
                    for (const std::string& entry : evilListing)
                        text += entry + "\r\n";
                } else {
                    text += "drwxr-xr-x 1 u g 0 Dec 09 11:28 evil\r\n";
                    for (const ServedFile& f : files)
                        text += "-rw-r--r-- 1 u g " + std::to_string(f.bytes.size()) +
                                " Dec 09 11:28 " + f.name + "\r\n";
                }
                s.sendData(text);
                s.closeData();
                s.reply("226 done");
            } else if (verb == "RETR") {
                std::string bytes = "ok\n";
                for (const ServedFile& f : files)
                    if (f.name == arg) bytes = f.bytes;
                s.reply("150 sending");
                s.acceptData();
                if (dropAfter > 0) {
                    s.sendData(bytes.substr(0, dropAfter));
                    s.closeData();
                    s.closeControl();
                    return;
                }
                s.sendData(bytes.substr(std::min(restart, bytes.size())));
                restart = 0;
                s.closeData();
                s.reply("226 done");
            } else {
                s.reply("500 unknown");
            }
        }
    } catch (const ScriptError&) {
        // The client went away.
    }
}

TEST_F(TransferTest, ListedNamesThatLeaveTheFolderAreSkipped) {
    const std::vector<std::string> listing = {
        "-rw-r--r-- 1 u g 3 Dec 09 11:28 ok.txt",
        "-rw-r--r-- 1 u g 3 Dec 09 11:28 ../escape.txt",
        "drwxr-xr-x 1 u g 0 Dec 09 11:28 ..",
        "-rw-r--r-- 1 u g 3 Dec 09 11:28 sub\\back.txt",
    };
    ScriptedPeer peer([&](ScriptedSession& s) { serve(s, listing, {}, 0); }, 3);
    connectTo(peer.port(), true);
    QDir().mkpath(path("local/dl"));
    queue->AddItem(download("evil", 0, true, "local/dl"));
    queue->RunSequence(false);

    EXPECT_TRUE(frame->transferQueue().items().empty())
        << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(readFile("local/dl/evil/ok.txt"), "ok\n");
    EXPECT_FALSE(QFile::exists(path("local/dl/escape.txt")));
    EXPECT_FALSE(QFile::exists(path("local/escape.txt")));
    EXPECT_EQ(QDir(path("local/dl/evil")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"ok.txt"}));
    EXPECT_TRUE(infoHas("../escape.txt"));
    EXPECT_TRUE(infoHas("sub\\back.txt"));
}

TEST_F(TransferTest, ADroppedConnectionIsReconnectedAndTheFileResumedWhole) {
    std::string bytes(50000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    const std::vector<ServedFile> files = {{"data.bin", bytes}};
    std::atomic<int> session{0};
    ScriptedPeer peer([&](ScriptedSession& s) { serve(s, {}, files, ++session == 1 ? 20000 : 0); },
                      3);
    connectTo(peer.port(), true);
    queue->AddItem(download("data.bin", static_cast<int64_t>(bytes.size())));
    queue->RunSequence(false);

    ASSERT_EQ(frame->transferQueue().items().size(), 1u);
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Failed);
    EXPECT_TRUE(frame->Connected()) << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(readFile("local/data.bin"), QByteArray::fromStdString(bytes.substr(0, 20000)));
    EXPECT_TRUE(data->LoadHistoryTransfers().empty());

    answer<TDuplicateForm>(&TDuplicateForm::onResumeClick);
    queue->onTransferClick();
    EXPECT_TRUE(frame->transferQueue().items().empty())
        << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(readFile("local/data.bin"), QByteArray::fromStdString(bytes));
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 1u);
}

} // namespace
