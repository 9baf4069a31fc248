// Re-running recorded transfers from the history page of the main window against a real FTP
// server: an upload goes to its recorded folder again, a download comes back into its folder.

#include "app/main_form.h"
#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "history/history_page.h"
#include "testing/main_window_fixture.h"

#include <QTreeWidget>

namespace {

class HistoryRerunTest : public MainWindowServerTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("root/pub"));
        QDir().mkpath(path("local"));
        write(path("root/pub/remote.txt"), "from the server");
        write(path("local/up.txt"), "from the disk");
        StartWindow();
    }
    void record(const QString& type, const QString& name, const QString& lopath) {
        HistoryTransfer job;
        job.type = type;
        job.ftpfile = name;
        job.lofile = name;
        job.ftppath = "/pub";
        job.lopath = lopath;
        data->AppendHistory(data->FindSite("mirror")->id, "Monday", job);
    }
};

TEST_F(HistoryRerunTest, AnUploadAndADownloadRunAgainOnTheSitesPage) {
    record("Upload", "up.txt", path("local/up.txt"));
    record("Download", "remote.txt", path("back/here/remote.txt"));
    THistoryPage& page = *form->historyPage();
    page.onRefreshClick();
    QTreeWidgetItem* mirror = page.tree()->topLevelItem(0);
    ASSERT_NE(mirror, nullptr);

    page.tree()->setCurrentItem(mirror->child(0)->child(0)->child(0));
    page.onExecuteClick();
    TBrowserFrame* frame = form->ActiveFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    EXPECT_EQ(form->PageCaption(form->rightPages()->currentIndex()), "mirror");
    EXPECT_EQ(read(path("root/pub/up.txt")), "from the disk");
    EXPECT_TRUE(frame->transferQueue().empty());

    page.tree()->setCurrentItem(mirror->child(1)->child(0)->child(0));
    page.onExecuteClick();
    EXPECT_EQ(form->pageCounter(), 1);
    EXPECT_EQ(read(path("back/here/remote.txt")), "from the server");
    EXPECT_TRUE(frame->transferQueue().empty());
    EXPECT_TRUE(prompt->messages().isEmpty());
    // Both runs were recorded again.
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 4u);
}

} // namespace
