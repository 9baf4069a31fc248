// A session as the user meets today's servers: the certificate question and its remembered
// answer, and a queue whose copy the server's digest disagrees with.

#include "browser/tests/transfer_test_support.h"
#include "ftp/ftp.h"
#include "testing/scripted_peer.h"
#include "testing/tls_peers.h"

#include <QCryptographicHash>

namespace {

using oxbrook::testing::ScriptedPeer;
using oxbrook::testing::ScriptedSession;
using oxbrook::testing::ScriptError;

// Serves RETR of each file; HASH answers from `digests` (name -> answers in turn, the last
// one repeated), so a test can make the server disagree once or always.
void serveWithDigests(ScriptedSession& s, const std::map<std::string, std::string>& files,
                      std::map<std::string, std::vector<std::string>> digests,
                      std::map<std::string, int>& retrieved) {
    s.reply("220 scripted");
    try {
        for (;;) {
            const std::string line = s.readLine();
            const std::string verb = line.substr(0, line.find(' '));
            const std::string arg = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
            if (verb == "USER") {
                s.reply("331 password");
            } else if (verb == "PASS") {
                s.reply("230 in");
            } else if (verb == "FEAT") {
                s.send("211-Features:\r\n HASH SHA-256*\r\n SIZE\r\n211 End\r\n");
            } else if (verb == "TYPE" || verb == "NOOP" || verb == "SYST") {
                s.reply("200 ok");
            } else if (verb == "PWD") {
                s.reply("257 \"/\"");
            } else if (verb == "CWD") {
                s.reply("250 ok");
            } else if (verb == "PASV") {
                s.reply("227 Entering Passive Mode (" + s.openPassive() + ")");
            } else if (verb == "LIST") {
                s.reply("150 listing");
                s.acceptData();
                s.closeData();
                s.reply("226 done");
            } else if (verb == "RETR" && files.count(arg)) {
                ++retrieved[arg];
                s.reply("150 sending");
                s.acceptData();
                s.sendData(files.at(arg));
                s.closeData();
                s.reply("226 done");
            } else if (verb == "HASH") {
                auto& answers = digests[arg];
                const std::string digest = answers.front();
                if (answers.size() > 1) answers.erase(answers.begin());
                s.reply("213 SHA-256 0-1 " + digest + " " + arg);
            } else {
                s.reply("500 unknown");
            }
        }
    } catch (const ScriptError&) {
        // The client went away.
    }
}

std::string sha256(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

TEST_F(TransferTest, ADigestThatDisagreesRetriesOnceThenFailsTheJob) {
    const std::map<std::string, std::string> files = {{"once.bin", std::string(9000, 'o')},
                                                      {"always.bin", std::string(7000, 'a')}};
    const std::string wrong(64, 'e');
    std::map<std::string, int> retrieved;
    ScriptedPeer peer(
        [&](ScriptedSession& s) {
            serveWithDigests(
                s, files,
                {{"once.bin", {wrong, sha256(files.at("once.bin"))}}, {"always.bin", {wrong}}},
                retrieved);
        },
        3);
    peer.scriptFeat(true);
    connectTo(peer.port(), true);
    queue->AddItem(download("once.bin", 9000));
    queue->AddItem(download("always.bin", 7000));
    queue->RunSequence(false);

    EXPECT_EQ(readFile("local/once.bin"), QByteArray(9000, 'o'));
    EXPECT_EQ(retrieved["once.bin"], 2);
    EXPECT_EQ(retrieved["always.bin"], 2) << "retried once, not more";
    ASSERT_EQ(frame->transferQueue().items().size(), 1u) << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(frame->transferQueue().items().front().name, "always.bin");
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Failed);
    EXPECT_TRUE(infoHas("Trying once more from the start."));
    EXPECT_TRUE(infoHas("failed verification"));
    EXPECT_TRUE(frame->Connected());
}

// vsftpd with a certificate of an authority the system does not know: "Cancel" leaves the
// session unconnected without retrying; "Always trust" connects and is remembered in the
// store, so that the next session (a new frame, as after a restart) asks nothing.
TEST_F(TransferTest, TheCertificateQuestionAndItsRememberedAnswer) {
    const auto certs = oxbrook::testing::makeTestCertificates(path("certs").toStdString());
    oxbrook::testing::VsftpdTlsPeer tls(path("peer").toStdString(), path("root").toStdString(),
                                        certs.serverCert, certs.serverKey, false);
    SiteRecord site;
    site.name = "secure";
    site.address = "127.0.0.1";
    site.port = tls.port();
    site.username = QString::fromStdString(tls.user);
    site.password = QString::fromStdString(tls.password);
    site.timeout = 10;
    data->AppendSite(site);
    const int id = data->FindSite("secure")->id;
    data->WriteSiteSecurity({id, 2, false, true});
    frame->SetSiteName("secure");

    prompt->QueueChoice(2);
    frame->ConnectSite(false);
    EXPECT_FALSE(frame->Connected());
    EXPECT_EQ(prompt->lastCaptions(), QStringList({"Trust once", "Always trust", "Cancel"}));
    ASSERT_FALSE(prompt->messages().isEmpty());
    const QString question = prompt->messages().back().text;
    EXPECT_TRUE(question.contains("CN=localhost")) << question.toStdString();
    EXPECT_TRUE(question.contains(
        QString::fromStdString(oxbrook::testing::certificateFingerprint(certs.serverCert))));
    EXPECT_TRUE(infoHas("not trusted"));

    prompt->QueueChoice(1);
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join("\n").toStdString();
    EXPECT_TRUE(frame->ftp().TLSActive());
    EXPECT_EQ(data->TrustedCertificates("127.0.0.1", tls.port()).size(), 1);

    frame = std::make_unique<TBrowserFrame>(2, *data);
    frame->SetSiteName("secure");
    const auto asked = prompt->messages().size();
    frame->ConnectSite(false);
    EXPECT_TRUE(frame->Connected());
    EXPECT_EQ(prompt->messages().size(), asked) << "the remembered certificate is not asked";
}

} // namespace
