// Make, rename, move, delete and permissions on the remote list against a real FTP server.

#include "browser/properties_form.h"
#include "browser/remote_list_menu.h"
#include "browser/tests/remote_tools_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class RemoteOperationsTest : public RemoteToolsTest {
protected:
    void SetUp() override {
        RemoteToolsTest::SetUp();
        writeBytes("root/notes.txt", "notes");
        writeBytes("root/other.txt", "other");
        writeBytes("root/a/one.txt", "1");
        writeBytes("root/a/b/two.txt", "2");
        writeBytes("root/a/b/c/three.txt", "3");
        writeBytes("root/a/b/c/four.txt", "4");
        QDir().mkpath(path("root/a/b/c/empty"));
        connectFrame();
        frame->resize(700, 500);
    }
    void TearDown() override {
        // A test may leave folders without the owner's rights; the temporary folder must go.
        QDirIterator it(path("root"), QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QFile(path("root")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        while (it.hasNext())
            QFile(it.next()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        RemoteToolsTest::TearDown();
    }
    int modeOf(const QString& name) const {
        const QFileDevice::Permissions p = QFileInfo(path(name)).permissions();
        const auto digit = [&](QFileDevice::Permission r, QFileDevice::Permission w,
                               QFileDevice::Permission x) {
            return (p & r ? 4 : 0) + (p & w ? 2 : 0) + (p & x ? 1 : 0);
        };
        return digit(QFile::ReadOwner, QFile::WriteOwner, QFile::ExeOwner) * 100 +
               digit(QFile::ReadGroup, QFile::WriteGroup, QFile::ExeGroup) * 10 +
               digit(QFile::ReadOther, QFile::WriteOther, QFile::ExeOther);
    }
};

TEST_F(RemoteOperationsTest, MakeRenameAndMoveByInputBoxAndByDrop) {
    // Make: the new folder is listed; an existing name and a refused MKD each say why.
    prompt->QueueInput("made");
    ops().onMakeDirectoryClick();
    EXPECT_TRUE(QFileInfo(path("root/made")).isDir());
    EXPECT_GE(rowOf("made"), 0);
    EXPECT_TRUE(ops().MakeFolder("notes.txt"));
    QDir().mkpath(path("root/late"));
    EXPECT_FALSE(ops().MakeFolder("late"));
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[0].text, "The name notes.txt was existed, please re-enter.");
    EXPECT_EQ(prompt->messages()[1].text, "Can not create folder.");
    EXPECT_EQ(sent({"MKD"}), QStringList({"MKD made", "MKD late"}));
    EXPECT_TRUE(frame->browseEnabled());

    // Rename in place: the list and the server agree; the own name is refused. Renaming a
    // folder drops the listings cached below it.
    frame->onRefreshClick();
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    select({"notes.txt"});
    frame->remoteList()->setFocus();
    // F2 opens the name for editing; Enter ends the edit instead of opening the row.
    QTest::keyClick(frame->remoteList(), Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, frame->remoteList());
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "renamed.txt");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(exists("root/renamed.txt"));
    EXPECT_EQ(frame->currentPath(), "/");
    EXPECT_TRUE(exists("root/renamed.txt"));
    EXPECT_GE(rowOf("renamed.txt"), 0);
    EXPECT_LT(rowOf("notes.txt"), 0);
    ops().onNameEdited(rowOf("other.txt"), "other.txt");
    EXPECT_EQ(prompt->messages().last().text, "The name other.txt was existed, please re-enter.");
    select({"a"});
    frame->onRemoteDoubleClick();
    frame->onBackClick();
    ASSERT_TRUE(std::any_of(frame->cache().begin(), frame->cache().end(),
                            [](const rdatalist& e) { return e.folderPath == "/a"; }));
    ops().onNameEdited(rowOf("a"), "a2");
    EXPECT_TRUE(QFileInfo(path("root/a2/b/c/three.txt")).exists());
    for (const rdatalist& e : frame->cache())
        EXPECT_FALSE(e.folderPath == "/a" || e.folderPath.startsWith("/a/"))
            << e.folderPath.toStdString();

    // Move by input box: the current folder as the answer does nothing.
    select({"renamed.txt"});
    prompt->QueueInput("/");
    ops().onMoveClick();
    EXPECT_TRUE(sent({"RNFR"}).filter("renamed").isEmpty());
    prompt->QueueInput("/made");
    ops().onMoveClick();
    EXPECT_TRUE(exists("root/made/renamed.txt"));
    EXPECT_LT(rowOf("renamed.txt"), 0);

    // Drop: rows of this list onto a folder move; rows of another list never do.
    select({"other.txt"});
    const QPoint onFolder = frame->remoteList()
                                ->visualRect(frame->remoteList()->model()->index(rowOf("made"), 0))
                                .center();
    QTreeView stranger;
    EXPECT_FALSE(ops().DropRows(&stranger, onFolder));
    EXPECT_TRUE(exists("root/other.txt"));
    EXPECT_TRUE(ops().DropRows(frame->remoteList(), onFolder));
    EXPECT_TRUE(exists("root/made/other.txt"));
    EXPECT_FALSE(exists("root/other.txt"));
    EXPECT_TRUE(frame->browseEnabled());
}

TEST_F(RemoteOperationsTest, DeleteTakesATreeInnermostFirstAndItsCachedListings) {
    // Visit the tree so that its listings are cached.
    for (const char* name : {"a", "b", "c"}) {
        select({name});
        frame->onRemoteDoubleClick();
    }
    for (int i = 0; i < 3; ++i)
        frame->onBackClick();
    ASSERT_EQ(frame->currentPath(), "/");

    select({"notes.txt", "other.txt"});
    ops().onDeleteClick(); // answered No
    EXPECT_EQ(prompt->messages().last().text,
              "Are you sure to delete the selected files or folders?");
    EXPECT_TRUE(exists("root/notes.txt"));
    select({"notes.txt"});
    prompt->QueueAnswer(PromptAnswer::Yes);
    ops().onDeleteClick();
    EXPECT_EQ(prompt->messages().last().text, "Are you sure to delete <notes.txt>?");
    EXPECT_FALSE(exists("root/notes.txt"));

    frame->infoPane()->clear();
    select({"a"});
    prompt->QueueAnswer(PromptAnswer::Yes);
    TRemoteListMenu::Of(*frame).action(TRemoteListMenu::Delete)->trigger();
    EXPECT_EQ(prompt->messages().last().text,
              "Are you sure to delete the folder <a> and all files in this folder?");
    EXPECT_FALSE(exists("root/a"));
    const QStringList removed = sent({"DELE", "RMD"});
    // Every file and folder once; each folder after everything in it.
    EXPECT_EQ(removed.size(), 8) << removed.join('|').toStdString();
    const auto at = [&](const QString& line) { return removed.indexOf(line); };
    EXPECT_GE(at("DELE three.txt"), 0);
    EXPECT_LT(at("DELE three.txt"), at("RMD c"));
    EXPECT_LT(at("DELE four.txt"), at("RMD c"));
    EXPECT_LT(at("RMD empty"), at("RMD c"));
    EXPECT_LT(at("RMD c"), at("RMD b"));
    EXPECT_LT(at("DELE two.txt"), at("RMD b"));
    EXPECT_LT(at("RMD b"), at("RMD a"));
    EXPECT_LT(at("DELE one.txt"), at("RMD a"));
    EXPECT_EQ(removed.last(), "RMD a");
    // Walked by full paths, never by relative steps up.
    EXPECT_TRUE(sent({"CWD"}).filter("..").isEmpty());
    EXPECT_LT(rowOf("a"), 0);
    for (const rdatalist& e : frame->cache())
        EXPECT_FALSE(e.name == "a" || e.folderPath.startsWith("/a")) << e.folderPath.toStdString();
    EXPECT_EQ(sent({"CWD"}).last(), "CWD /");
    EXPECT_TRUE(frame->browseEnabled());
}

TEST_F(RemoteOperationsTest, PermissionsOfAFileAndOfATreeChildrenFirst) {
    QFile(path("root/a"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup);
    frame->onRefreshClick();
    {
        // The dialog shows the entry's rights and their mode; several rows open with 666.
        select({"a"});
        std::vector<rdatalist> one{frame->entries()[static_cast<size_t>(rowOf("a"))]};
        TPropertiesForm form(one);
        EXPECT_EQ(form.modeField()->text(), "750");
        select({"a", "notes.txt"});
        std::vector<rdatalist> two{one.front(),
                                   frame->entries()[static_cast<size_t>(rowOf("notes.txt"))]};
        TPropertiesForm both(two);
        EXPECT_EQ(both.modeField()->text(), "666");
        EXPECT_EQ(both.nameLabel()->text(), "1 Folders , 1 Files .");
    }

    select({"notes.txt"});
    prompt->QueueFormAction([](QDialog& shown) {
        auto& form = dynamic_cast<TPropertiesForm&>(shown);
        form.box(TPropertiesForm::Owner, TPropertiesForm::Execute)->click();
        EXPECT_EQ(form.modeField()->text(), "744");
        form.onOkClick();
    });
    ops().onPropertiesClick();
    EXPECT_EQ(sent({"SITE"}), QStringList({"SITE CHMOD 744 notes.txt"}));
    EXPECT_EQ(modeOf("root/notes.txt"), 744);

    // 600 takes the owner's execute bit: the folders' contents must change before them.
    frame->infoPane()->clear();
    select({"a"});
    prompt->QueueFormAction([](QDialog& shown) {
        auto& form = dynamic_cast<TPropertiesForm&>(shown);
        form.modeField()->setText("600");
        form.recursiveBox()->setChecked(true);
        form.onOkClick();
    });
    ops().onPropertiesClick();
    const QStringList changes = sent({"SITE"});
    EXPECT_EQ(changes.size(), 8) << changes.join('|').toStdString();
    EXPECT_EQ(changes.last(), "SITE CHMOD 600 a");
    EXPECT_LT(changes.indexOf("SITE CHMOD 600 three.txt"), changes.indexOf("SITE CHMOD 600 c"));
    EXPECT_LT(changes.indexOf("SITE CHMOD 600 c"), changes.indexOf("SITE CHMOD 600 b"));
    QFile(path("root/a")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile(path("root/a/b")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile(path("root/a/b/c"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(modeOf("root/a/b/c/three.txt"), 600);
    EXPECT_EQ(modeOf("root/a/b/c/empty"), 600);
    EXPECT_EQ(modeOf("root/a/one.txt"), 600);
    EXPECT_EQ(frame->currentPath(), "/");
    EXPECT_EQ(sent({"CWD"}).last(), "CWD /");
    EXPECT_TRUE(frame->browseEnabled());
}

} // namespace
