// The history page on a real store with a recording window: the tree, the details, deleting
// and clearing, and the re-run's checks before anything is queued.

#include "history/history_page.h"

#include "data/data_module.h"
#include "testing/recording_session_host.h"
#include "testing/widget_test_support.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <functional>

namespace {

// A window whose session opening can run a handler meanwhile, as a page connecting pumps
// window messages.
class PumpingHost : public TRecordingSessionHost {
public:
    void OpenSession(const QString& name, bool quick) override {
        TRecordingSessionHost::OpenSession(name, quick);
        if (whileOpening) whileOpening();
    }
    std::function<void()> whileOpening;
};

class HistoryPageTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TDataModule>(folder());
        data->CreateMissingStores();
        data->Connect();
        page = std::make_unique<THistoryPage>(*data, host);
    }
    int addSite(const QString& name) {
        SiteRecord site;
        site.name = name;
        site.address = name + ".test";
        data->AppendSite(site);
        return data->FindSite(name)->id;
    }
    void record(int site, const QString& day, const QString& type, const QString& file,
                const QString& lopath = QString(), bool folder = false) {
        HistoryTransfer job;
        job.type = type;
        job.ftpfile = file;
        job.lofile = file;
        job.date = "10:00:00";
        job.date2 = "10:00:04";
        job.ftppath = "/pub";
        job.lopath = lopath.isEmpty() ? path(file) : lopath;
        job.usetime = "4";
        job.speed = "12KB/S";
        job.isfolder = folder;
        data->AppendHistory(site, day, job);
    }
    // The texts of `node`'s children.
    static QStringList children(QTreeWidgetItem* node) {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0);
        return out;
    }
    QTreeWidgetItem* site(int index) { return page->tree()->topLevelItem(index); }
    void select(QTreeWidgetItem* node) { page->tree()->setCurrentItem(node); }

    std::unique_ptr<TDataModule> data;
    PumpingHost host;
    std::unique_ptr<THistoryPage> page;
};

TEST_F(HistoryPageTest, TheTreeGroupsBySiteDirectionAndDayNewestFirst) {
    const int alpha = addSite("alpha");
    addSite("empty");
    record(alpha, "Monday", "Upload", "a.txt");
    record(alpha, "Tuesday", "Download", "b.txt");
    record(alpha, "Tuesday", "Upload", "c.txt");
    record(alpha, "Monday", "Upload", "d.txt", QString(), true);
    // The tree waits for the user.
    EXPECT_EQ(page->tree()->topLevelItemCount(), 0);
    EXPECT_FALSE(page->clearAction()->isEnabled());
    page->onRefreshClick();
    EXPECT_TRUE(page->clearAction()->isEnabled());
    EXPECT_TRUE(page->expandAction()->isEnabled());
    ASSERT_EQ(page->tree()->topLevelItemCount(), 2);
    EXPECT_EQ(site(0)->text(0), "alpha  (alpha.test)");
    EXPECT_EQ(children(site(0)), QStringList({"Upload", "Download"}));
    EXPECT_EQ(children(site(0)->child(0)), QStringList({"Tuesday", "Monday"}));
    EXPECT_EQ(children(site(0)->child(0)->child(1)), QStringList({"a.txt", "d.txt"}));
    EXPECT_EQ(children(site(0)->child(1)), QStringList({"Tuesday"}));
    // A site without history still has its two direction nodes.
    EXPECT_EQ(children(site(1)), QStringList({"Upload", "Download"}));
    EXPECT_EQ(site(1)->child(0)->childCount(), 0);

    QTreeWidgetItem* transfer = site(0)->child(0)->child(1)->child(0);
    select(transfer);
    EXPECT_EQ(page->details(),
              QStringList({"10:00:00", "10:00:04", "4sec", "12KB/S", "/pub", path("a.txt")}));
    EXPECT_TRUE(page->executeAction()->isEnabled());
    EXPECT_TRUE(page->deleteAction()->isEnabled());
    EXPECT_TRUE(page->contextMenuNow()->actions()[0]->isEnabled());
    select(site(0)->child(0)->child(1));
    EXPECT_EQ(page->details(), QStringList({"", "", "", "", "", ""}));
    EXPECT_FALSE(page->executeAction()->isEnabled());
    EXPECT_TRUE(page->deleteAction()->isEnabled());
    page->contextMenuNow();
    EXPECT_FALSE(page->menuExecute()->isEnabled());
    EXPECT_TRUE(page->menuDelete()->isEnabled());
    select(site(0)->child(0));
    page->contextMenuNow();
    EXPECT_FALSE(page->deleteAction()->isEnabled());
    EXPECT_FALSE(page->menuDelete()->isEnabled());
    page->onExpandClick();
    EXPECT_TRUE(site(0)->child(0)->isExpanded());
    select(transfer);
    page->onCollapseClick();
    EXPECT_FALSE(site(0)->isExpanded());
    EXPECT_FALSE(page->deleteAction()->isEnabled());
    EXPECT_FALSE(page->executeAction()->isEnabled());
}

TEST_F(HistoryPageTest, DeletingADayKeepsTheSameDayOfAnotherSiteAndClearingKeepsTheSites) {
    const int alpha = addSite("alpha");
    const int beta = addSite("beta");
    record(alpha, "Monday", "Upload", "a1.txt");
    record(alpha, "Monday", "Upload", "a2.txt");
    record(beta, "Monday", "Upload", "b1.txt");
    record(alpha, "Monday", "Download", "a3.txt");
    page->onRefreshClick();
    select(site(0)->child(0)->child(0));
    page->onDeleteClick();
    EXPECT_EQ(site(0)->child(0)->childCount(), 0);
    EXPECT_EQ(data->LoadHistoryDays().size(), 2u);
    QStringList left;
    for (const HistoryTransfer& t : data->LoadHistoryTransfers())
        left << t.ftpfile;
    EXPECT_EQ(left, QStringList({"b1.txt", "a3.txt"}));
    page->onRefreshClick();
    EXPECT_EQ(children(site(1)->child(0)), QStringList({"Monday"}));
    EXPECT_EQ(children(site(0)->child(1)->child(0)), QStringList({"a3.txt"}));

    // One transfer of a day goes alone; its day stays.
    select(site(0)->child(1)->child(0)->child(0));
    page->onDeleteClick();
    EXPECT_EQ(site(0)->child(1)->child(0)->childCount(), 0);
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 1u);
    EXPECT_EQ(data->LoadHistoryDays().size(), 2u);

    page->onClearClick();
    EXPECT_TRUE(data->LoadHistoryDays().empty());
    EXPECT_TRUE(data->LoadHistoryTransfers().empty());
    EXPECT_TRUE(page->items().empty());
    ASSERT_EQ(page->tree()->topLevelItemCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(children(site(i)), QStringList({"Upload", "Download"}));
        EXPECT_EQ(site(i)->child(0)->childCount() + site(i)->child(1)->childCount(), 0);
    }
}

TEST_F(HistoryPageTest, ARerunChecksItsSiteFilesAndNamesBeforeQueueing) {
    const int alpha = addSite("alpha");
    QFile present(path("up.txt"));
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    present.write("12345");
    present.close();
    record(alpha, "Monday", "Upload", "up.txt");
    record(alpha, "Monday", "Upload", "gone.txt");
    record(alpha, "Monday", "Download", "../escape.txt", path("in/../escape.txt"));
    record(alpha, "Monday", "Download", "new.txt", path("made/deep/new.txt"));
    page->onRefreshClick();
    QTreeWidgetItem* day = site(0)->child(0)->child(0);
    QTreeWidgetItem* downloads = site(0)->child(1)->child(0);

    // Twice the same upload: queued once, started once.
    select(day->child(0));
    page->onExecuteClick();
    page->onExecuteClick();
    ASSERT_EQ(host.queued.size(), 1u);
    EXPECT_EQ(host.queued[0].localPath, path("up.txt"));
    EXPECT_EQ(host.queued[0].remoteFolder, "/pub");
    EXPECT_EQ(host.queued[0].size, 5);
    EXPECT_EQ(host.starts, QList<bool>({true}));
    EXPECT_EQ(host.opened, QStringList({"alpha", "alpha"}));

    select(day->child(1));
    page->onExecuteClick();
    // A stored local name that leaves its folder is refused.
    select(downloads->child(0));
    page->onExecuteClick();
    EXPECT_FALSE(QFileInfo::exists(path("in")));
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[0].text, "The file " + path("gone.txt") + " was not exists.");
    EXPECT_EQ(prompt->messages()[1].kind, PromptKind::Error);
    EXPECT_EQ(host.queued.size(), 1u);

    // A download whose folder went away makes it again, every level.
    select(downloads->child(1));
    page->onExecuteClick();
    EXPECT_TRUE(QFileInfo(path("made/deep")).isDir());
    ASSERT_EQ(host.queued.size(), 2u);
    const rupdown& down = host.queued[1];
    EXPECT_EQ(down.isDownload, 1);
    EXPECT_EQ(down.localPath, path("made/deep/new.txt"));
    EXPECT_EQ(down.name, "new.txt");
    EXPECT_EQ(down.remoteDate, "?");
    EXPECT_TRUE(down.verifyRemote);
    EXPECT_EQ(host.starts, QList<bool>({true, false}));
}

TEST_F(HistoryPageTest, ARerunWorksOnACopyWhenTheHistoryIsClearedWhileThePageConnects) {
    const int alpha = addSite("alpha");
    record(alpha, "Monday", "Download", "keep.txt", path("target/keep.txt"));
    page->onRefreshClick();
    select(site(0)->child(1)->child(0)->child(0));
    host.whileOpening = [this] { page->onClearClick(); };
    page->onExecuteClick();
    ASSERT_EQ(host.queued.size(), 1u);
    EXPECT_EQ(host.queued[0].localPath, path("target/keep.txt"));
    EXPECT_EQ(host.queued[0].name, "keep.txt");
    EXPECT_TRUE(page->items().empty());
}

TEST_F(HistoryPageTest, ATransferOfADeletedSiteCannotRun) {
    const int alpha = addSite("alpha");
    record(alpha, "Monday", "Upload", "a.txt");
    page->onRefreshClick();
    select(site(0)->child(0)->child(0)->child(0));
    // The tree still shows the transfer after its site was deleted.
    ASSERT_TRUE(data->DeleteSite("alpha"));
    page->onExecuteClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "Can not read the information of the FTP site.");
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_TRUE(host.queued.empty());
}

} // namespace
