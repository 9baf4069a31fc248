#include "browser/browser_frame.h"
#include "browser/tests/frame_settings.h"
#include "browser/transfer_queue.h"

#include "ftp/ftp.h"
#include "testing/memory_data_module.h"
#include "testing/refused_port.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"
#include "ui/help_form.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>

namespace {

class BrowserFrameTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TMemoryDataModule>(folder());
        frame = std::make_unique<TBrowserFrame>(3, *data);
    }
    void TearDown() override {
        frame.reset();
        UiTest::TearDown();
    }
    SiteRecord& refusedSite(int retries, int delaySeconds) {
        SiteRecord& site = data->addSite("down", "127.0.0.1");
        site.port = RefusedPort();
        site.nor = retries;
        site.rd = delaySeconds;
        SetSetting(*frame, &TSessionSettings::siteName, "down");
        return site;
    }
    std::unique_ptr<TMemoryDataModule> data;
    std::unique_ptr<TBrowserFrame> frame;
};

TEST_F(BrowserFrameTest, IsLaidOutAsDesigned) {
    EXPECT_EQ(frame->objectName(), "fr3");
    EXPECT_EQ(frame->property("tag").toInt(), 3);
    EXPECT_EQ(frame->pathBar()->height(), 16);
    EXPECT_FALSE(frame->progressPanel()->isVisibleTo(frame.get()));
    EXPECT_EQ(frame->countPanel()->text(), "0/0");
    EXPECT_EQ(frame->speedLabel()->text(), "0KB/S");
    EXPECT_EQ(frame->progressGauge()->value(), 0);
    QTreeWidgetItem* header = frame->queueList()->headerItem();
    ASSERT_EQ(header->columnCount(), 5);
    EXPECT_EQ(header->text(1), "Name");
    EXPECT_EQ(header->text(2), "Size (bytes)");
    EXPECT_EQ(header->text(3), "Status");
    EXPECT_EQ(header->text(4), "Path");
    EXPECT_EQ(frame->keepAliveTimer()->interval(), 1000);
    EXPECT_EQ(frame->sortColumn(), 2);
    EXPECT_TRUE(frame->transferQueue().askOnConflict());
    EXPECT_EQ(frame->transferQueue().conflictAnswer(), TDuplicateAnswer::Cancel);
}

TEST_F(BrowserFrameTest, TheSixHundredthLineStartsTheInformationPaneAfresh) {
    for (int i = 1; i <= 599; ++i)
        frame->LogMessage(QString("line %1").arg(i), i % 3);
    EXPECT_EQ(frame->infoPane()->count(), 599);
    EXPECT_EQ(frame->infoIcon(4), 2);
    frame->LogMessage("line 600", 1);
    EXPECT_EQ(frame->infoLines(), QStringList({"line 600"}));
    EXPECT_EQ(frame->infoIcon(0), 1);
}

TEST_F(BrowserFrameTest, ProtocolTextIsSplitIntoLines) {
    frame->LogText("230-Welcome\r\n230-to the\r230 server", 1);
    EXPECT_EQ(frame->infoLines(), QStringList({"230-Welcome", "230-to the", "230 server"}));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(frame->infoIcon(row), 1);
}

TEST_F(BrowserFrameTest, TheInformationPaneIsClearedOrSavedAsText) {
    frame->LogMessage("first", 0);
    frame->LogMessage("second", 1);
    ASSERT_EQ(frame->infoMenu()->actions().size(), 2);
    EXPECT_EQ(frame->infoMenu()->actions()[0]->text(), "Clear");
    EXPECT_EQ(frame->infoMenu()->actions()[1]->text(), "Save to file...");
    EXPECT_FALSE(frame->onInfoSaveClick());
    prompt->QueuePath(path("session"));
    EXPECT_TRUE(frame->onInfoSaveClick());
    QFile saved(path("session.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("first\nsecond\n"));
    frame->onInfoClearClick();
    EXPECT_TRUE(frame->infoLines().isEmpty());
}

TEST_F(BrowserFrameTest, UnknownViewStyleCodesLeaveTheStyle) {
    frame->SetViewStyleCode(TBrowserFrame::LargeIcon);
    frame->SetViewStyleCode(7);
    EXPECT_EQ(frame->viewStyleCode(), TBrowserFrame::LargeIcon);
}

TEST_F(BrowserFrameTest, ViewStyleButtonStepsDownAndTheDropDownSetsDirectly) {
    const int expected[] = {TBrowserFrame::SmallIcon, TBrowserFrame::List, TBrowserFrame::LargeIcon,
                            TBrowserFrame::Report};
    for (int code : expected) {
        frame->onViewStyleClick();
        EXPECT_EQ(frame->viewStyleCode(), code);
        EXPECT_TRUE(frame->viewStyleItem(code)->isChecked());
    }
    frame->onViewStyleItem(TBrowserFrame::List);
    EXPECT_EQ(frame->viewStyleCode(), TBrowserFrame::List);
    EXPECT_EQ(frame->viewStyleStep(), 4);
}

TEST_F(BrowserFrameTest, HelpShowsTheBrowsingTopic) {
    frame->onHelpClick();
    ASSERT_NE(Desktop().helpForm(), nullptr);
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "Newitem6");
}

TEST_F(BrowserFrameTest, CloseHelpersDeleteCopiesAndEmptyTheLists) {
    QFile copy(path("copy.txt"));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.close();
    frame->AddTempFile(path("copy.txt"));
    frame->AddTempFile(path("never-made.txt"));
    frame->DeleteTempFiles();
    EXPECT_FALSE(QFile::exists(path("copy.txt")));
    frame->SetEntries(std::vector<rdatalist>(2));
    frame->SetCache(std::vector<rdatalist>(3));
    frame->transferQueue().AddItem(rupdown{});
    frame->LogMessage("x", 0);
    frame->ClearSession();
    EXPECT_TRUE(frame->entries().empty());
    EXPECT_TRUE(frame->cache().empty());
    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(frame->infoPane()->count(), 0);
}

TEST_F(BrowserFrameTest, RefusedConnectionsAreRetriedUpToTheLimit) {
    refusedSite(3, 10);
    frame->ConnectSite(false);
    EXPECT_EQ(frame->infoLines(),
              QStringList({"Connecting 127.0.0.1", "Error occured,wait 10 second for retry"}));
    EXPECT_EQ(frame->infoIcon(1), 2);
    EXPECT_TRUE(frame->retryTimer()->isActive());
    EXPECT_EQ(frame->retryTimer()->interval(), 10000);
    EXPECT_EQ(data->sites[0].zdate, "touched");

    frame->onRetryTimer();
    frame->onRetryTimer();
    EXPECT_TRUE(frame->retryTimer()->isActive());
    frame->onRetryTimer();
    EXPECT_FALSE(frame->retryTimer()->isActive());
    EXPECT_EQ(frame->infoLines(),
              QStringList({"Connecting 127.0.0.1", "Error occured,wait 10 second for retry",
                           "Connecting 127.0.0.1", "Error occured,wait 10 second for retry. (1)",
                           "Connecting 127.0.0.1", "Error occured,wait 10 second for retry. (2)",
                           "Encountered maximum error.This part job is halted."}));
}

TEST_F(BrowserFrameTest, TheWaitShownIsRoundedToTheNearestSecondTiesToEven) {
    refusedSite(0, 1);
    frame->ConnectSite(false);
    SetSetting(*frame, &TSessionSettings::retryDelayMs, 2500);
    frame->onRetryTimer();
    EXPECT_EQ(frame->infoLines().last(), "Error occured,wait 2 second for retry. (1)");
    SetSetting(*frame, &TSessionSettings::retryDelayMs, 3500);
    frame->onRetryTimer();
    EXPECT_EQ(frame->infoLines().last(), "Error occured,wait 4 second for retry. (2)");
    // A limit of 0 is never reached: the timer keeps retrying.
    EXPECT_TRUE(frame->retryTimer()->isActive());
}

TEST_F(BrowserFrameTest, SiteSettingsReachTheFrameAndItsEngine) {
    SiteRecord& site = data->addSite("alpha", "ftp.alpha.test");
    site.port = 2121;
    site.username = "joe";
    site.password = "pw";
    site.pasv = false;
    site.timeout = 45;
    site.nor = 5;
    site.rd = 3;
    site.defaultpath = "/pub";
    site.localpath = "/home/joe";
    site.autorefresh = true;
    data->keepAlive = {"NOOP", "PWD"};
    data->options.interval = 30;
    data->options.transfermode = "auto";
    data->options.temppath = "/tmp/x";
    data->options.recvb = 4096;
    data->options.sendb = 8192;
    SetSetting(*frame, &TSessionSettings::siteName, "alpha");
    ASSERT_TRUE(frame->LoadSessionSettings(false));
    EXPECT_EQ(frame->ftp().Host, "ftp.alpha.test");
    EXPECT_EQ(frame->ftp().Port, 2121);
    EXPECT_EQ(frame->ftp().Username, "joe");
    EXPECT_EQ(frame->ftp().Password, "pw");
    EXPECT_FALSE(frame->ftp().Passive);
    EXPECT_EQ(frame->ftp().ReadTimeout, 45000);
    EXPECT_EQ(frame->ftp().RecvBufferSize, 4096);
    EXPECT_EQ(frame->ftp().SendBufferSize, 8192);
    EXPECT_EQ(frame->settings().connectTimeoutMs, 45000);
    EXPECT_EQ(frame->settings().retryLimit, 5);
    EXPECT_EQ(frame->settings().retryDelayMs, 3000);
    EXPECT_EQ(frame->settings().defaultPath, "/pub");
    EXPECT_EQ(frame->settings().localPath, "/home/joe");
    EXPECT_TRUE(frame->settings().autoRefresh);
    EXPECT_EQ(frame->settings().siteId, site.id);
    EXPECT_EQ(frame->settings().keepAliveCommands, QStringList({"NOOP", "PWD"}));
    EXPECT_EQ(frame->settings().keepAliveInterval, 30);
    EXPECT_EQ(frame->settings().transferMode, "auto");
    EXPECT_EQ(frame->settings().tempPath, "/tmp/x");
    SetSetting(*frame, &TSessionSettings::siteName, "gone");
    EXPECT_FALSE(frame->LoadSessionSettings(false));
}

TEST_F(BrowserFrameTest, QuickSessionsUseTheTypedValuesAndFixedSettings) {
    SetSetting(*frame, &TSessionSettings::siteId, 0);
    SetSetting(*frame, &TSessionSettings::localPath, "/kept");
    SetSetting(*frame, &TSessionSettings::quickValues,
               {"quick.test", 2100, "ann", "secret", false});
    ASSERT_TRUE(frame->LoadSessionSettings(true));
    EXPECT_EQ(frame->ftp().Host, "quick.test");
    EXPECT_EQ(frame->ftp().Port, 2100);
    EXPECT_EQ(frame->ftp().Username, "ann");
    EXPECT_FALSE(frame->ftp().Passive);
    EXPECT_EQ(frame->settings().connectTimeoutMs, 30000);
    EXPECT_EQ(frame->settings().retryLimit, 20);
    EXPECT_EQ(frame->settings().retryDelayMs, 10000);
    EXPECT_EQ(frame->settings().localPath, "/kept");
    EXPECT_EQ(frame->settings().siteId, 0);
}

TEST(BrowserFrameSizes, SizeFiguresRoundToTheNearestKilobyteTiesToEven) {
    const std::pair<int64_t, const char*> rows[] = {
        {0, "1KB"},    {1, "1KB"},    {1535, "1KB"},       {1536, "2KB"},
        {2560, "2KB"}, {3584, "4KB"}, {1048576, "1024KB"}, {3221225472LL, "3145728KB"}};
    for (auto [size, text] : rows)
        EXPECT_EQ(TBrowserFrame::SizeText(size), text) << size;
}

TEST_F(BrowserFrameTest, CacheEntriesAreDroppedByFolderByNameOrAll) {
    auto cached = [](const char* folder, const char* name) {
        rdatalist e;
        e.folderPath = folder;
        e.name = name;
        return e;
    };
    frame->SetCache({cached("/a", "x"), cached("/a", "y"), cached("/b", "x")});
    frame->DropCached("/a", "x", 2);
    ASSERT_EQ(frame->cache().size(), 2u);
    EXPECT_EQ(frame->cache()[0].name, "y");
    frame->DropCached("/a", "", 0);
    ASSERT_EQ(frame->cache().size(), 1u);
    EXPECT_EQ(frame->cache()[0].folderPath, "/b");
    frame->DropCached("", "", 1);
    EXPECT_TRUE(frame->cache().empty());
}

class BrowserFrameServerTest : public BrowserFrameTest {
protected:
    void SetUp() override {
        BrowserFrameTest::SetUp();
        QDir().mkpath(path("root/sub"));
        QDir().mkpath(path("root/empty"));
        QDir().mkpath(path("peer"));
        writeFile("root/b.txt", 1536);
        writeFile("root/a.bin", 0);
        writeFile("root/sub/inner.txt", 2560);
        server = std::make_unique<oxbrook::testing::FtpdPeer>(path("peer").toStdString(),
                                                              path("root").toStdString());
        SiteRecord& site = data->addSite("local", "127.0.0.1");
        site.port = server->port();
        site.username = "oxuser";
        site.password = "oxpass";
        SetSetting(*frame, &TSessionSettings::siteName, "local");
    }
    void TearDown() override {
        frame.reset();
        server.reset();
        BrowserFrameTest::TearDown();
    }
    void writeFile(const QString& name, int size) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }
    QStringList names() const {
        QStringList out;
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            out << frame->remoteRow(row).value(0);
        return out;
    }
    std::unique_ptr<oxbrook::testing::FtpdPeer> server;
};

TEST_F(BrowserFrameServerTest, TheLoginFolderIsListedFoldersFirst) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    // Folders have no type text and so sort before every file; their own order is open.
    QStringList first = names().mid(0, 2);
    first.sort();
    EXPECT_EQ(first, QStringList({"empty", "sub"}));
    ASSERT_EQ(frame->remoteRowCount(), 4);
    const QStringList folder = frame->remoteRow(names().indexOf("sub"));
    EXPECT_EQ(folder[1], "");
    EXPECT_EQ(folder[2], "Folder");
    EXPECT_TRUE(folder[4].startsWith('d'));
    const QStringList file = frame->remoteRow(names().indexOf("b.txt"));
    EXPECT_EQ(file[1], "2KB");
    EXPECT_EQ(file[2], Desktop().TypeName("b.txt"));
    EXPECT_EQ(file[3].size(), 19);
    EXPECT_TRUE(file[4].startsWith('-'));
    EXPECT_EQ(frame->remoteRow(names().indexOf("a.bin"))[1], "1KB");
    ASSERT_EQ(frame->cache().size(), 4u);
    for (const rdatalist& e : frame->cache())
        EXPECT_EQ(e.folderPath, "/");

    frame->SetSortColumn(1);
    frame->SortEntries();
    EXPECT_EQ(frame->entries().back().name, "b.txt");
    frame->SetSortColumn(0);
    frame->SortEntries();
    EXPECT_EQ(names(), QStringList({"a.bin", "b.txt", "empty", "sub"}));
}

TEST_F(BrowserFrameServerTest, FoldersAreEnteredByDoubleClickAndLeftByBack) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    EXPECT_TRUE(frame->browseEnabled());
    EXPECT_TRUE(frame->backAction()->isEnabled());
    frame->SelectRemoteRow(names().indexOf("b.txt"));
    frame->onRemoteDoubleClick();
    EXPECT_EQ(frame->currentPath(), "/");

    frame->SetIdleTicks(5);
    frame->SelectRemoteRow(names().indexOf("sub"));
    frame->onRemoteDoubleClick();
    EXPECT_EQ(frame->currentPath(), "/sub");
    EXPECT_EQ(frame->pathBar()->text(), "/sub");
    EXPECT_EQ(frame->idleTicks(), 0);
    EXPECT_EQ(names(), QStringList({"inner.txt"}));
    EXPECT_TRUE(frame->browseEnabled());

    frame->onBackClick();
    EXPECT_EQ(frame->currentPath(), "/");
    EXPECT_EQ(frame->pathBar()->text(), "/");
    EXPECT_EQ(frame->remoteRowCount(), 4);

    writeFile("root/c.txt", 5);
    frame->onRefreshClick();
    EXPECT_TRUE(names().contains("c.txt"));
    EXPECT_EQ(frame->pathBar()->text(), "/");

    frame->onColumnClick(0);
    EXPECT_EQ(frame->sortColumn(), 0);
    EXPECT_EQ(names().first(), "a.bin");
}

TEST_F(BrowserFrameServerTest, NavigatingWhileDisconnectedConnectsInstead) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    frame->transferQueue().SetBusy(true);
    frame->ftp().Disconnect();
    // The engine's disconnected status stops browsing and the queue's run.
    EXPECT_FALSE(frame->browseEnabled());
    EXPECT_FALSE(frame->transferQueue().busy());
    EXPECT_FALSE(frame->keepAliveTimer()->isActive());
    const int before = frame->infoLines().count("Connecting 127.0.0.1");
    frame->onBackClick();
    EXPECT_EQ(frame->infoLines().count("Connecting 127.0.0.1"), before + 1);
    EXPECT_TRUE(frame->Connected());
    EXPECT_EQ(frame->currentPath(), "/");
}

TEST_F(BrowserFrameServerTest, CachedFoldersAreShownWithoutAskingTheServer) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    QFile::remove(path("root/b.txt"));
    frame->ShowCachedFolder("/");
    EXPECT_TRUE(names().contains("b.txt"));
    // An empty folder has no cache entries and is listed from the server every time.
    writeFile("root/empty/new.txt", 10);
    frame->ShowCachedFolder("/empty");
    EXPECT_EQ(names(), QStringList({"new.txt"}));
    EXPECT_EQ(frame->currentPath(), "/empty");
}

TEST_F(BrowserFrameServerTest, ConnectsLogsTheConversationAndKeepsAlive) {
    QSignalSpy changes(frame.get(), &TBrowserFrame::connectionChanged);
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    EXPECT_EQ(frame->infoLines().value(0), "Connecting 127.0.0.1");
    EXPECT_TRUE(frame->infoLines().contains("220 Oxbrook test server ready."));
    EXPECT_TRUE(frame->infoLines().contains("USER oxuser"));
    const int user = frame->infoLines().indexOf("USER oxuser");
    EXPECT_EQ(frame->infoIcon(user), 0);
    EXPECT_EQ(frame->infoIcon(user + 1), 1);
    EXPECT_EQ(frame->currentPath(), "/");
    EXPECT_EQ(frame->homePath(), "/");
    EXPECT_EQ(frame->pathBar()->text(), "/");
    EXPECT_FALSE(frame->retryTimer()->isActive());
    EXPECT_TRUE(frame->keepAliveTimer()->isActive());
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_TRUE(changes.last().at(0).toBool());

    SetSetting(*frame, &TSessionSettings::keepAliveCommands, {"NOOP"});
    SetSetting(*frame, &TSessionSettings::keepAliveInterval, 2);
    frame->onKeepAliveTimer();
    EXPECT_FALSE(frame->infoLines().contains("NOOP"));
    frame->onKeepAliveTimer();
    EXPECT_TRUE(frame->infoLines().contains("NOOP"));
    EXPECT_EQ(frame->idleTicks(), 0);

    EXPECT_TRUE(frame->disconnectShowsConnected());
    EXPECT_TRUE(frame->abortAction()->isEnabled());
    // Abort on an open control connection ends the session; the next one reconnects.
    frame->onAbortClick();
    EXPECT_FALSE(frame->Connected());
    frame->onAbortClick();
    EXPECT_TRUE(frame->Connected());
    EXPECT_EQ(frame->remoteRowCount(), 4);
    frame->onDisconnectClick();
    EXPECT_FALSE(frame->Connected());
    EXPECT_TRUE(frame->infoLines().contains("Disconnected from server."));
    EXPECT_FALSE(changes.last().at(0).toBool());
    EXPECT_FALSE(frame->disconnectShowsConnected());
    EXPECT_EQ(frame->disconnectAction()->toolTip(), "Connect");
    EXPECT_FALSE(frame->abortAction()->isEnabled());

    frame->onDisconnectClick();
    EXPECT_TRUE(frame->Connected());
    EXPECT_TRUE(frame->disconnectShowsConnected());
    EXPECT_EQ(frame->disconnectAction()->toolTip(), "Disconnect");
}

TEST_F(BrowserFrameServerTest, TheDefaultFolderIsEnteredAndAMissingOneReportedOnce) {
    data->sites[0].defaultpath = "/sub";
    frame->ConnectSite(false);
    EXPECT_EQ(frame->currentPath(), "/sub");
    EXPECT_EQ(names(), QStringList({"inner.txt"}));
    EXPECT_EQ(frame->remoteRow(0)[1], "2KB");
    EXPECT_EQ(frame->homePath(), "/");
    EXPECT_EQ(frame->pathBar()->text(), "/sub");
    frame->DisconnectSession();

    data->sites[0].defaultpath = "/missing";
    frame->ConnectSite(false);
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "The default folder was not existed, the program will "
                                          "change to root automactically.");
    EXPECT_EQ(frame->currentPath(), "/");
    EXPECT_TRUE(names().contains("sub"));
}

} // namespace
