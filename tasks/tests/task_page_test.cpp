// The tasks page on a real store with a recording window: categories, the task editor and the
// entry path dialog, deleting, and what a task run queues.

#include "tasks/task_page.h"

#include "data/data_module.h"
#include "tasks/category_form.h"
#include "tasks/task_editor_form.h"
#include "testing/recording_session_host.h"
#include "testing/widget_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <functional>

namespace {

class PumpingHost : public TRecordingSessionHost {
public:
    void OpenSession(const QString& name, bool quick) override {
        TRecordingSessionHost::OpenSession(name, quick);
        if (whileOpening) whileOpening();
    }
    std::function<void()> whileOpening;
};

class TaskPageTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TDataModule>(folder());
        data->CreateMissingStores();
        data->Connect();
        for (const char* name : {"alpha", "beta"}) {
            SiteRecord site;
            site.name = name;
            data->AppendSite(site);
        }
        QDir().mkpath(path("files/dir"));
        for (const char* name : {"files/a.txt", "files/b.txt"}) {
            QFile f(path(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("data");
        }
        page = std::make_unique<TTaskPage>(*data, host);
        page->LoadTaskTree();
    }
    // Makes a category through the dialog; returns what the dialog said.
    int newCategory(const QString& name, const QString& desc = QString()) {
        prompt->QueueFormAction([name, desc](QDialog& d) {
            auto& form = static_cast<TCategoryForm&>(d);
            form.nameEdit->setText(name);
            form.descEdit->setPlainText(desc);
            form.onOkClick();
        });
        page->onNewCategoryClick();
        return page->tree()->topLevelItemCount();
    }
    // Stores a task directly.
    int storeTask(const QString& category, const QString& name, const QString& type,
                  const std::vector<TaskEntry>& entries) {
        TaskRecord task;
        task.taskid = data->FindCategory(category)->id;
        task.name = name;
        task.ftp = "alpha";
        task.type = type;
        const int id = data->SaveTask(task, entries);
        page->LoadTaskTree();
        return id;
    }
    QStringList topLevel() const {
        QStringList out;
        for (int i = 0; i < page->tree()->topLevelItemCount(); ++i)
            out << page->tree()->topLevelItem(i)->text(0);
        return out;
    }

    std::unique_ptr<TDataModule> data;
    PumpingHost host;
    std::unique_ptr<TTaskPage> page;
};

TEST_F(TaskPageTest, CategoriesAreMadeRenamedAndRefusedUnderATakenName) {
    EXPECT_EQ(newCategory("daily", "every day"), 1);
    EXPECT_EQ(newCategory("weekly"), 2);
    EXPECT_EQ(newCategory("daily"), 2);
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompt->messages()[0].text, "The name daily was existed, please re-enter.");
    ASSERT_TRUE(page->SelectNode("daily"));
    EXPECT_EQ(page->descriptionText(), "every day");
    EXPECT_TRUE(page->deleteAction()->isEnabled());
    EXPECT_FALSE(page->executeAction()->isEnabled());

    // Edit: another's name is refused, its own name is accepted.
    prompt->QueueFormAction([](QDialog& d) {
        auto& form = static_cast<TCategoryForm&>(d);
        EXPECT_EQ(form.windowTitle(), "Edit category");
        EXPECT_EQ(form.descEdit->toPlainText(), "every day");
        form.nameEdit->setText("weekly");
        form.onOkClick();
        form.nameEdit->setText("daily");
        form.descEdit->setPlainText("each day");
        form.onOkClick();
    });
    page->onEditClick();
    EXPECT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(data->FindCategory("daily")->desc, "each day");
    prompt->QueueFormAction([](QDialog& d) {
        auto& form = static_cast<TCategoryForm&>(d);
        form.nameEdit->clear();
        EXPECT_FALSE(form.okButton->isEnabled());
        form.nameEdit->setText("nightly");
        form.onOkClick();
    });
    page->onEditClick();
    EXPECT_EQ(topLevel(), QStringList({"nightly", "weekly"}));
    EXPECT_FALSE(data->FindCategory("daily").has_value());
}

TEST_F(TaskPageTest, AnUploadTaskFromTheLocalPageIsStoredOnlyWithNameCategoryAndSite) {
    // Without a category the task cannot be stored.
    prompt->QueueFormAction([](QDialog& d) {
        auto& editor = static_cast<TTaskEditorForm&>(d);
        editor.nameEdit->setText("backup");
        EXPECT_FALSE(editor.okButton->isEnabled());
        editor.onOkClick();
    });
    page->AddUploadTask({path("files/a.txt")});
    EXPECT_TRUE(data->LoadTasks().empty());

    newCategory("daily");
    prompt->QueueFormAction([this](QDialog& d) {
        auto& editor = static_cast<TTaskEditorForm&>(d);
        EXPECT_EQ(editor.windowTitle(), "Create new task");
        EXPECT_EQ(editor.pages->tabText(0), "Upload");
        EXPECT_EQ(editor.siteBox->currentText(), "alpha");
        EXPECT_TRUE(editor.siteBox->isEnabled());
        EXPECT_EQ(editor.categoryBox->currentText(), "daily");
        // The missing item is left out.
        ASSERT_EQ(editor.entries().size(), 2u);
        EXPECT_EQ(editor.entries()[0].files, "a.txt");
        EXPECT_EQ(editor.entries()[0].local, path("files") + "/");
        EXPECT_EQ(editor.entries()[0].ftp, "/");
        EXPECT_TRUE(editor.entries()[1].isfolder);
        EXPECT_FALSE(editor.okButton->isEnabled());
        editor.nameEdit->setText("backup");
        EXPECT_TRUE(editor.okButton->isEnabled());
        // The entry path dialog changes the remote folder of the selected rows.
        editor.entryList->topLevelItem(0)->setSelected(true);
        editor.entryList->topLevelItem(1)->setSelected(true);
        EXPECT_TRUE(editor.editButton->isEnabled());
        prompt->QueueFormAction([this](QDialog& p) {
            auto& paths = static_cast<TEntryPathForm&>(p);
            EXPECT_EQ(paths.localEdit->text(), path("files") + "/a.txt");
            EXPECT_FALSE(paths.localEdit->isEnabled());
            paths.ftpEdit->clear();
            EXPECT_FALSE(paths.applyButton->isEnabled());
            paths.ftpEdit->setText("/incoming");
            paths.onApplyClick();
        });
        editor.onEditClick();
        EXPECT_EQ(editor.entryList->topLevelItem(1)->text(3), "/incoming");
        editor.onOkClick();
    });
    page->AddUploadTask({path("files/a.txt"), path("files/gone.txt"), path("files/dir")});
    const std::vector<TaskRecord> tasks = data->LoadTasks();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].name, "backup");
    EXPECT_EQ(tasks[0].type, "Upload");
    EXPECT_EQ(tasks[0].ftp, "alpha");
    const std::vector<TaskEntry> entries = data->LoadTaskEntries(tasks[0].id);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].files, "dir");
    EXPECT_EQ(entries[1].ftp, "/incoming");
    EXPECT_TRUE(page->SelectNode("daily", "backup"));

    // Edit: every row deleted leaves "&OK" off until a field changes again.
    prompt->QueueFormAction([](QDialog& d) {
        auto& editor = static_cast<TTaskEditorForm&>(d);
        EXPECT_EQ(editor.windowTitle(), "Edit task");
        ASSERT_EQ(editor.entries().size(), 2u);
        editor.entryList->selectAll();
        editor.onDeleteClick();
        EXPECT_TRUE(editor.entries().empty());
        EXPECT_FALSE(editor.okButton->isEnabled());
        editor.nameEdit->setText("backup2");
        editor.onOkClick();
    });
    page->onEditClick();
    EXPECT_EQ(data->LoadTasks()[0].name, "backup2");
    EXPECT_TRUE(data->LoadTaskEntries(tasks[0].id).empty());
}

TEST_F(TaskPageTest, RunningQueuesEveryEntryEachTimeAndDownloadsStayInTheirFolders) {
    newCategory("daily");
    storeTask("daily", "up", "Upload",
              {{0, "a.txt", path("files") + "/", "/pub", false},
               {0, "gone.txt", path("files") + "/", "/pub", false},
               {0, "dir", path("files") + "/", "/pub", true}});
    storeTask("daily", "down", "Download",
              {{0, "x.bin", path("new/deep") + "/", "/pub", false},
               {0, "..", path("new") + "/", "/pub", true},
               {0, "rel.bin", "relative/", "/pub", false}});
    ASSERT_TRUE(page->SelectNode("daily", "up"));
    EXPECT_TRUE(page->executeAction()->isEnabled());
    page->onExecuteClick();
    page->onExecuteClick();
    EXPECT_EQ(host.opened, QStringList({"alpha", "alpha"}));
    ASSERT_EQ(host.queued.size(), 4u);
    EXPECT_EQ(host.queued[0].localPath, path("files/a.txt"));
    EXPECT_EQ(host.queued[0].remoteFolder, "/pub");
    EXPECT_EQ(host.queued[0].size, 4);
    EXPECT_EQ(host.queued[2].name, "a.txt");
    EXPECT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[0].text,
              "The file " + path("files/gone.txt") + " was not exists.");
    EXPECT_EQ(host.starts, QList<bool>({true, true}));

    host.queued.clear();
    host.starts.clear();
    prompt->ClearRecords();
    ASSERT_TRUE(page->SelectNode("daily", "down"));
    // The tree is loaded again while the page connects; the run goes on with its copy.
    host.whileOpening = [this] { page->LoadTaskTree(); };
    page->onExecuteClick();
    ASSERT_EQ(host.queued.size(), 1u);
    EXPECT_EQ(host.queued[0].localPath, path("new/deep/x.bin"));
    EXPECT_EQ(host.queued[0].remoteDate, "?");
    EXPECT_TRUE(host.queued[0].verifyRemote);
    EXPECT_TRUE(QFileInfo(path("new/deep")).isDir());
    EXPECT_FALSE(QFileInfo::exists("relative"));
    EXPECT_EQ(prompt->messages().size(), 2);
    // Started once.
    EXPECT_EQ(host.starts, QList<bool>({false}));
}

TEST_F(TaskPageTest, DeletingACategoryDeletesItsTasksWithTheirEntries) {
    newCategory("daily");
    newCategory("other");
    newCategory("empty");
    const int first = storeTask("daily", "same", "Upload", {{0, "a.txt", "/x/", "/", false}});
    const int second = storeTask("daily", "same", "Download", {{0, "b.txt", "/x/", "/", false}});
    const int kept = storeTask("other", "same", "Upload", {{0, "c.txt", "/x/", "/", false}});
    EXPECT_EQ(page->tree()->topLevelItem(2)->childCount(), 0);

    // Two tasks of one name: each is deleted as itself.
    page->tree()->setCurrentItem(page->tree()->topLevelItem(0)->child(1));
    page->onDeleteClick();
    EXPECT_TRUE(data->LoadTaskEntries(second).empty());
    EXPECT_EQ(data->LoadTaskEntries(first).size(), 1u);

    ASSERT_TRUE(page->SelectNode("daily"));
    page->onDeleteClick();
    EXPECT_EQ(topLevel(), QStringList({"other", "empty"}));
    EXPECT_TRUE(data->LoadTaskEntries(first).empty());
    ASSERT_EQ(data->LoadTasks().size(), 1u);
    EXPECT_EQ(data->LoadTasks()[0].id, kept);
    EXPECT_EQ(data->LoadTaskEntries(kept).size(), 1u);
    EXPECT_FALSE(data->FindCategory("daily").has_value());
    // With nothing selected, executing does nothing.
    page->tree()->clearSelection();
    EXPECT_FALSE(page->deleteAction()->isEnabled());
    page->onExecuteClick();
    EXPECT_TRUE(host.opened.isEmpty());
}

} // namespace
