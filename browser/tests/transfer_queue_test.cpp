#include "browser/queue_handoff.h"
#include "browser/tests/frame_settings.h"
#include "browser/tests/transfer_test_support.h"

#include <QLabel>
#include <QMenu>
#include <QProgressBar>

namespace {

class TransferModeTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TransferModeTest, SingleFilesGoDownAndUpAndAreRecorded) {
    const QByteArray remote = writeFile("root/a.bin", 300000);
    const QByteArray local = writeFile("local/up.bin", 200000);
    connectFrame(GetParam());
    queue->AddItem(download("a.bin", remote.size()));
    queue->AddItem(upload("up.bin"));
    EXPECT_EQ(queue->row(0)->text(2), "300000");
    EXPECT_EQ(queue->row(0)->text(4), path("local") + "/");
    queue->RunSequence(false);

    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(readFile("local/a.bin"), remote);
    EXPECT_EQ(readFile("root/up.bin"), local);
    EXPECT_TRUE(prompt->formsRun().isEmpty());
    EXPECT_FALSE(frame->transferQueue().busy());
    EXPECT_FALSE(frame->progressPanel()->isVisibleTo(frame.get()));
    EXPECT_EQ(frame->speedLabel()->text(), "0KB/S");

    const std::vector<HistoryTransfer> jobs = data->LoadHistoryTransfers();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].type, "Download");
    EXPECT_EQ(jobs[0].ftpfile, "a.bin");
    EXPECT_EQ(jobs[0].lofile, "a.bin");
    EXPECT_EQ(jobs[0].lopath, path("local/a.bin"));
    EXPECT_EQ(jobs[0].ftppath, "/");
    EXPECT_FALSE(jobs[0].isfolder);
    EXPECT_TRUE(jobs[0].speed.endsWith("KB/S"));
    bool number = false;
    jobs[0].usetime.toDouble(&number);
    EXPECT_TRUE(number) << jobs[0].usetime.toStdString();
    EXPECT_EQ(QTime::fromString(jobs[0].date, "hh:mm:ss").isValid(), true);
    EXPECT_EQ(jobs[1].type, "Upload");
    EXPECT_EQ(jobs[1].lofile, "up.bin");
    EXPECT_EQ(jobs[1].ftpfile, "up.bin");

    const std::vector<HistoryDay> days = data->LoadHistoryDays();
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(jobs[0].id, days[0].key);
    EXPECT_EQ(jobs[1].id, days[1].key);
    EXPECT_EQ(days[0].id, frame->settings().siteId);

    // The day record is written once per site, day and direction.
    writeFile("root/b.bin", 10);
    queue->AddItem(download("b.bin", 10));
    queue->RunSequence(false);
    EXPECT_EQ(data->LoadHistoryDays().size(), 2u);
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 3u);
    EXPECT_EQ(data->LoadHistoryTransfers()[2].id, days[0].key);
}

TEST_P(TransferModeTest, ThreeLevelTreesGoDownAndUp) {
    const QByteArray f1 = writeFile("root/t/f1.txt", 1000);
    const QByteArray f2 = writeFile("root/t/s1/f2.bin", 70000);
    const QByteArray f3 = writeFile("root/t/s1/s2/f3.bin", 5);
    QDir().mkpath(path("root/t/s1/s2/empty"));
    const QByteArray u1 = writeFile("local/u/g1.bin", 3000);
    const QByteArray u2 = writeFile("local/u/d1/g2.bin", 40000);
    const QByteArray u3 = writeFile("local/u/d1/d2/g3.bin", 7);
    QDir().mkpath(path("local/u/d1/d2/none"));
    connectFrame(GetParam());
    queue->AddItem(download("t", 0, true));
    queue->AddItem(upload("u", true));
    EXPECT_EQ(queue->row(0)->text(2), "");
    queue->RunSequence(false);

    EXPECT_TRUE(frame->transferQueue().items().empty())
        << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(readFile("local/t/f1.txt"), f1);
    EXPECT_EQ(readFile("local/t/s1/f2.bin"), f2);
    EXPECT_EQ(readFile("local/t/s1/s2/f3.bin"), f3);
    EXPECT_TRUE(QFileInfo(path("local/t/s1/s2/empty")).isDir());
    EXPECT_EQ(readFile("root/u/g1.bin"), u1);
    EXPECT_EQ(readFile("root/u/d1/g2.bin"), u2);
    EXPECT_EQ(readFile("root/u/d1/d2/g3.bin"), u3);
    EXPECT_TRUE(QFileInfo(path("root/u/d1/d2/none")).isDir());
    // Both walks hand the server back in the folder they started from.
    EXPECT_EQ(QString::fromStdString(frame->ftp().CurrentDirectory()), "/");
    const std::vector<HistoryTransfer> jobs = data->LoadHistoryTransfers();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_TRUE(jobs[0].isfolder);
    EXPECT_TRUE(jobs[1].isfolder);
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, TransferModeTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_F(TransferTest, AFailureStopsTheRunAtItsItemAndTransferRetriesFromIt) {
    for (QString name : {"f1", "f2", "f4", "f5"})
        writeFile("root/" + name, 100);
    connectFrame();
    for (QString name : {"f1", "f2", "f3", "f4", "f5"})
        queue->AddItem(download(name, 100));
    queue->RunSequence(false);

    ASSERT_EQ(frame->transferQueue().items().size(), 3u);
    EXPECT_EQ(frame->transferQueue().items()[0].name, "f3");
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Failed);
    EXPECT_EQ(queue->rowImage(1), TTransferQueue::Waiting);
    EXPECT_EQ(readFile("local/f2").size(), 100);
    EXPECT_FALSE(QFile::exists(path("local/f3")));
    const QString last = frame->infoLines().filter("the operation cancel.").value(0);
    EXPECT_TRUE(last.startsWith("550:")) << last.toStdString();
    EXPECT_TRUE(last.endsWith(", the operation cancel."));
    EXPECT_TRUE(frame->Connected());
    EXPECT_TRUE(frame->transferQueue().askOnConflict());
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 2u);

    writeFile("root/f3", 100);
    frame->queueList()->setCurrentItem(queue->row(0));
    queue->UpdateMenu();
    ASSERT_TRUE(queue->queueMenu()->actions()[0]->isEnabled());
    queue->onTransferClick();
    EXPECT_TRUE(frame->transferQueue().items().empty());
    for (QString name : {"f3", "f4", "f5"})
        EXPECT_EQ(readFile("local/" + name).size(), 100);
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 5u);
}

TEST_F(TransferTest, StopDuringATransferKeepsTheBytesAndRecordsNothing) {
    const QByteArray big = writeFile("root/big.bin", 24 * 1024 * 1024);
    connectFrame();
    bool stopped = false;
    auto report = frame->ftp().OnWork;
    frame->ftp().OnWork = [&](TNetComponent* sender, TWorkMode mode, int64_t count) {
        report(sender, mode, count);
        if (!stopped && count > 1024 * 1024) {
            stopped = true;
            // The active row offers only "Stop".
            frame->queueList()->setCurrentItem(queue->row(0));
            queue->UpdateMenu();
            EXPECT_TRUE(queue->queueMenu()->actions()[1]->isEnabled());
            EXPECT_FALSE(queue->queueMenu()->actions()[2]->isEnabled());
            queue->onDeleteClick();
            queue->onStopClick();
        }
    };
    queue->AddItem(download("big.bin", big.size()));
    queue->RunSequence(false);
    frame->ftp().OnWork = report;

    ASSERT_TRUE(stopped);
    ASSERT_EQ(frame->transferQueue().items().size(), 1u);
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Failed);
    const qint64 kept = QFileInfo(path("local/big.bin")).size();
    EXPECT_GT(kept, 1024 * 1024);
    EXPECT_LT(kept, big.size());
    EXPECT_EQ(readFile("local/big.bin"), big.left(kept));
    EXPECT_TRUE(data->LoadHistoryTransfers().empty());
    EXPECT_TRUE(frame->Connected());
}

TEST_F(TransferTest, ClearLeavesTheActiveRowAndDeleteTakesTheSelectedOne) {
    for (QString name : {"a", "b", "c"})
        queue->AddItem(download(name, 1));
    frame->queueList()->setCurrentItem(queue->row(1));
    queue->onDeleteClick();
    ASSERT_EQ(frame->transferQueue().items().size(), 2u);
    EXPECT_EQ(frame->transferQueue().items()[1].name, "c");
    frame->queueList()->clearSelection();
    queue->UpdateMenu();
    for (QAction* item : queue->queueMenu()->actions())
        EXPECT_FALSE(item->isEnabled());
    // A run that finds the frame not busy marks the first row.
    queue->RunQueue();
    EXPECT_EQ(queue->row(0)->text(3), "No connection");
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Failed);
    queue->onClearClick();
    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(frame->queueList()->topLevelItemCount(), 0);
}

TEST_F(TransferTest, IsQueuedComparesNameLocalPathAndRemoteFolder) {
    queue->AddItem(download("a", 1));
    EXPECT_TRUE(queue->IsQueued("a", path("local/a"), "0"));
    EXPECT_FALSE(queue->IsQueued("A", path("local/a"), "0"));
    EXPECT_FALSE(queue->IsQueued("a", path("local/a"), "/pub"));
}

TEST_F(TransferTest, SizesPastFourGibibytesReachTheGaugeAndTheCountWhole) {
    const int64_t size = 5LL * 1024 * 1024 * 1024 + 17;
    frame->transferQueue().SetBusy(true);
    queue->SetExpectedSize(size);
    queue->onWorkBegin(0);
    queue->onWork(size - 1);
    EXPECT_EQ(queue->gaugeMaximum(), size);
    EXPECT_EQ(queue->gaugePosition(), size - 1);
    EXPECT_EQ(frame->countPanel()->text(), QString::number(size) + "/" + QString::number(size - 1));
    EXPECT_GT(frame->progressGauge()->value(), frame->progressGauge()->maximum() * 99 / 100);
    EXPECT_TRUE(frame->speedLabel()->text().endsWith("KB/S"));
    frame->transferQueue().SetBusy(false);
}

TEST_F(TransferTest, AutoModeLooksTheUpperCasedExtensionUp) {
    connectFrame();
    SetSetting(*frame, &TSessionSettings::transferMode, "auto");
    queue->SetTransferTypeFor(".txt");
    EXPECT_EQ(frame->ftp().TransferType(), ftASCII);
    queue->SetTransferTypeFor(".zip");
    EXPECT_EQ(frame->ftp().TransferType(), ftBinary);
    queue->SetTransferTypeFor(".TxT");
    EXPECT_EQ(frame->ftp().TransferType(), ftASCII);
    queue->SetTransferTypeFor(TTransferQueue::ExtensionOf("README"));
    EXPECT_EQ(frame->ftp().TransferType(), ftBinary);
    SetSetting(*frame, &TSessionSettings::transferMode, "ascii");
    queue->SetTransferTypeFor(".zip");
    EXPECT_EQ(frame->ftp().TransferType(), ftASCII);
}

TEST_F(TransferTest, AVerifiedDownloadMissingOnTheServerIsDroppedAndTheRunGoesOn) {
    writeFile("root/here", 3);
    connectFrame();
    rupdown gone = download("gone", 3);
    gone.verifyRemote = true;
    queue->AddItem(gone);
    queue->AddItem(download("here", 3));
    queue->RunSequence(false);
    EXPECT_TRUE(frame->transferQueue().items().empty());
    ASSERT_FALSE(prompt->messages().isEmpty());
    EXPECT_EQ(prompt->messages()[0].text, "The file gone was not exists.");
    EXPECT_EQ(readFile("local/here").size(), 3);
}

TEST_F(TransferTest, AnUploadToARelativeFolderStartsAtTheLoginFolder) {
    QDir().mkpath(path("root/in/deep"));
    const QByteArray bytes = writeFile("local/x.bin", 10);
    connectFrame();
    frame->ftp().ChangeDirectory("/in/deep");
    rupdown r = upload("x.bin");
    r.remoteFolder = "in";
    queue->AddItem(r);
    queue->RunSequence(false);
    EXPECT_EQ(readFile("root/in/x.bin"), bytes);
    EXPECT_EQ(data->LoadHistoryTransfers().at(0).ftppath, "in");
}

} // namespace

namespace {

TEST_F(TransferTest, DroppedLocalEntriesAreUploadedIntoTheFolderDroppedOn) {
    QDir().mkpath(path("root/sub"));
    const QByteArray a = writeFile("local/a.bin", 2000);
    const QByteArray b = writeFile("local/dir/b.bin", 30);
    connectFrame();
    queue->DropLocalFiles({path("local/a.bin"), path("local/gone.bin"), path("local/dir")}, "sub");
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompt->messages()[0].text, "Invalid path.");
    EXPECT_TRUE(frame->transferQueue().items().empty())
        << frame->infoLines().join("\n").toStdString();
    EXPECT_EQ(readFile("root/sub/a.bin"), a);
    EXPECT_EQ(readFile("root/sub/dir/b.bin"), b);
    const std::vector<HistoryTransfer> jobs = data->LoadHistoryTransfers();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].ftppath, "/sub");
    EXPECT_TRUE(jobs[1].isfolder);
}

} // namespace

namespace {

TEST_F(TransferTest, HandedOffEntriesWaitOnAPageNotConnectedAndRunWithItsNextQueue) {
    const QByteArray bytes = writeFile("root/h.bin", 1234);
    const rupdown entry = download("h.bin", 1234);
    EXPECT_TRUE(QueueHandoff::QueueEntry(*frame, entry));
    // The local page and the history ask first; the task run adds its entries as they come.
    EXPECT_FALSE(QueueHandoff::QueueEntry(*frame, entry));
    EXPECT_TRUE(QueueHandoff::QueueEntry(*frame, entry, false));
    QueueHandoff::StartQueue(*frame, true);
    ASSERT_EQ(frame->transferQueue().items().size(), 2u);
    EXPECT_EQ(queue->rowImage(0), TTransferQueue::Waiting);
    frame->queueList()->setCurrentItem(queue->row(1));
    queue->onDeleteClick();

    connectFrame();
    QueueHandoff::StartQueue(*frame, true);
    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(readFile("local/h.bin"), bytes);
    EXPECT_TRUE(frame->browseEnabled());
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 1u);
}

} // namespace

namespace {

TEST_F(TransferTest, AHundredThousandItemsRunWithoutDeepeningTheStack) {
    // Names that are no plain file name are skipped without a word to the server, so the loop
    // itself is what runs here.
    rupdown item = download("..", 1);
    for (int i = 0; i < 100000; ++i)
        queue->AddItem(item);
    queue->RunSequence(false);
    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(frame->queueList()->topLevelItemCount(), 0);
    EXPECT_FALSE(frame->transferQueue().busy());
}

} // namespace
