// Tasks in the main window against a real FTP server: a download task made from a browser page,
// an upload task made from the local page, both run, edited and deleted with their category.

#include "app/main_form.h"
#include "browser/browser_frame.h"
#include "browser/remote_list_menu.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "local/local_page.h"
#include "tasks/category_form.h"
#include "tasks/task_editor_form.h"
#include "tasks/task_page.h"
#include "testing/main_window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

class TaskFlowTest : public MainWindowServerTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        for (const char* dir : {"root/pub", "local", "elsewhere"})
            QDir().mkpath(path(dir));
        write(path("root/pub/one.txt"), "first");
        write(path("root/pub/two.txt"), "second");
        write(path("local/up.txt"), "upward");
        StartWindow([this](SiteRecord& site) {
            site.localpath = path("local");
            site.defaultpath = "/pub";
        });
        data->AppendCategory("nightly", "runs at night");
        form->taskPage()->LoadTaskTree();
    }
    void saveAs(const QString& name) {
        prompt->QueueFormAction([name](QDialog& d) {
            auto& editor = static_cast<TTaskEditorForm&>(d);
            editor.nameEdit->setText(name);
            editor.onOkClick();
        });
    }
};

TEST_F(TaskFlowTest, TasksFromABrowserPageAndTheLocalPageAreRunEditedAndDeleted) {
    form->OpenSession("mirror", false);
    TBrowserFrame* frame = form->ActiveFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    ASSERT_EQ(frame->currentPath(), "/pub");
    // The browser page's local folder, not the process's current folder, is the task's.
    frame->SetLocalPath(path("elsewhere"));
    frame->remoteList()->selectAll();
    prompt->QueueFormAction([this](QDialog& d) {
        auto& editor = static_cast<TTaskEditorForm&>(d);
        EXPECT_EQ(editor.pages->tabText(0), "Download");
        EXPECT_FALSE(editor.siteBox->isEnabled());
        EXPECT_EQ(editor.siteBox->currentText(), "mirror");
        ASSERT_EQ(editor.entries().size(), 2u);
        EXPECT_EQ(editor.entries()[0].local, path("elsewhere") + "/");
        EXPECT_EQ(editor.entries()[0].ftp, "/pub");
        editor.nameEdit->setText("fetch");
        editor.onOkClick();
    });
    TRemoteListMenu::Of(*frame).action(TRemoteListMenu::AddTask)->trigger();
    TTaskPage& tasks = *form->taskPage();
    ASSERT_TRUE(tasks.SelectNode("nightly", "fetch"));

    QFile::remove(path("elsewhere"));
    QDir(path("elsewhere")).removeRecursively();
    tasks.onExecuteClick();
    EXPECT_EQ(read(path("elsewhere/one.txt")), "first");
    EXPECT_EQ(read(path("elsewhere/two.txt")), "second");
    EXPECT_TRUE(frame->transferQueue().empty());

    // An upload task from the local page.
    form->localPage()->SetRoot(path("local"));
    form->localPage()->SelectPaths({path("local/up.txt")});
    saveAs("send");
    form->localPage()->addTaskAction()->trigger();
    ASSERT_TRUE(tasks.SelectNode("nightly", "send"));
    // Edited: the entry goes to /pub instead of /.
    prompt->QueueFormAction([](QDialog& d) {
        auto& editor = static_cast<TTaskEditorForm&>(d);
        editor.entryList->selectAll();
        editor.ApplyEntryPath(QString(), "/pub");
        editor.onOkClick();
    });
    tasks.onEditClick();
    ASSERT_TRUE(tasks.SelectNode("nightly", "send"));
    tasks.onExecuteClick();
    EXPECT_EQ(read(path("root/pub/up.txt")), "upward");
    EXPECT_TRUE(prompt->messages().isEmpty());

    ASSERT_TRUE(tasks.SelectNode("nightly"));
    tasks.onDeleteClick();
    EXPECT_EQ(tasks.tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(data->LoadTasks().empty());
    EXPECT_TRUE(data->LoadCategories().empty());
}

} // namespace
