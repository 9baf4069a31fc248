// The local page in the main window against a real FTP server: files dragged to the remote list
// and back, and "Upload".

#include "app/main_form.h"
#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "local/local_list_model.h"
#include "local/local_page.h"
#include "testing/main_window_fixture.h"
#include "ui/styled_list_view.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTreeView>

namespace {

class LocalTransferTest : public MainWindowServerTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("root"));
        QDir().mkpath(path("local/in"));
        write(path("root/remote.txt"), "from the server");
        write(path("local/up.txt"), "from the disk");
        write(path("local/second.txt"), "two");
        StartWindow([this](SiteRecord& site) { site.localpath = path("local"); });
        form->OpenSession("mirror", false);
        frame = form->ActiveFrame();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    }
    int remoteRow(const QString& name) const {
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            if (frame->remoteRow(row).value(0) == name) return row;
        return -1;
    }

    TBrowserFrame* frame = nullptr;
};

TEST_F(LocalTransferTest, FilesGoToTheServerAndComeBackByDragAndByUpload) {
    TLocalPage& page = *form->localPage();
    // The page change put the local list on the page's folder.
    EXPECT_EQ(page.root(), path("local"));
    EXPECT_TRUE(page.uploadAction()->isEnabled());

    // A drag from the local list carries the rows as local files; the remote list takes them.
    page.SelectPaths({path("local/up.txt")});
    const QModelIndexList rows = page.views()->selectionModel()->selectedIndexes();
    std::unique_ptr<QMimeData> drag(page.model()->mimeData(rows));
    ASSERT_EQ(drag->urls().size(), 1);
    frame->transferQueue().DropLocalFiles({drag->urls()[0].toLocalFile()}, QString());
    EXPECT_EQ(read(path("root/up.txt")), "from the disk");
    EXPECT_NE(remoteRow("up.txt"), -1);

    // Back: the remote row dropped on the local folder "in".
    frame->SelectRemoteRow(remoteRow("remote.txt"));
    page.DropRemoteEntries(page.model()->RowOfPath(path("local/in")));
    EXPECT_EQ(read(path("local/in/remote.txt")), "from the server");
    EXPECT_TRUE(frame->transferQueue().empty());

    // "Upload" sends the selection to the page's current remote folder.
    page.SelectPaths({path("local/second.txt")});
    page.onUploadClick();
    EXPECT_EQ(read(path("root/second.txt")), "two");
    EXPECT_NE(remoteRow("second.txt"), -1);
    EXPECT_TRUE(prompt->messages().isEmpty());

    // Going up the local list takes the page's folder along.
    page.onUpClick();
    EXPECT_EQ(frame->settings().localPath, folder());
}

} // namespace
