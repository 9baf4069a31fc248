#include "browser/download_form.h"
#include "browser/recent_list.h"
#include "browser/tests/transfer_test_support.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

namespace {

class DownloadFormTest : public TransferTest {
protected:
    void selectRows(std::initializer_list<int> rows) {
        QItemSelectionModel* selection = frame->remoteList()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(frame->remoteList()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    int rowOf(const QString& name) {
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            if (frame->remoteRow(row).value(0) == name) return row;
        return -1;
    }
    QString recent() const { return path("Downloads.dat"); }
    static rdatalist folder(const QString& name) {
        rdatalist e;
        e.name = name;
        e.isFolder = true;
        return e;
    }
    // Shows `entries` as the remote list's rows.
    void setEntries(std::initializer_list<rdatalist> entries) {
        frame->SetEntries(entries);
        frame->SortEntries();
    }
    void setEntries(std::initializer_list<const char*> names) {
        std::vector<rdatalist> entries;
        for (const char* name : names) {
            rdatalist e;
            e.name = name;
            entries.push_back(e);
        }
        frame->SetEntries(entries);
        frame->SortEntries();
    }
};

TEST_F(DownloadFormTest, OkCreatesTheFolderPathQueuesTheSelectionAndRemembersTheFolder) {
    const QByteArray a = writeFile("root/a.bin", 5000);
    writeFile("root/tree/inner.bin", 10);
    connectFrame();
    selectRows({rowOf("a.bin"), rowOf("tree")});
    const QString target = path("two/levels");
    QString counts;
    prompt->QueueFormAction([&](QDialog& dialog) {
        auto& form = dynamic_cast<TDownloadForm&>(dialog);
        counts = form.nameLabel->text();
        form.pathBox->setEditText(target);
        form.onOkClick();
    });
    queue->onDownloadClick();
    EXPECT_EQ(counts, "1 Folders , 1 Files .");
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_TRUE(frame->transferQueue().items().empty());
    EXPECT_EQ(readFile("two/levels/a.bin"), a);
    EXPECT_EQ(readFile("two/levels/tree/inner.bin").size(), 10);
    EXPECT_EQ(RecentList::Load(recent()), QStringList({target}));
}

TEST_F(DownloadFormTest, TheSameSelectionIsQueuedOnce) {
    setEntries({"f", "g"});
    frame->transferQueue().SetBusy(true);
    for (int i = 0; i < 2; ++i) {
        selectRows({0, 1});
        prompt->QueueFormAction([&](QDialog& dialog) {
            auto& form = dynamic_cast<TDownloadForm&>(dialog);
            form.pathBox->setEditText(path("out"));
            form.onOkClick();
        });
        queue->onDownloadClick();
    }
    ASSERT_EQ(frame->transferQueue().items().size(), 2u);
    EXPECT_EQ(frame->transferQueue().items()[0].localPath, path("out/f"));
    EXPECT_EQ(frame->transferQueue().items()[1].remoteFolder, "0");
    frame->transferQueue().SetBusy(false);
}

TEST_F(DownloadFormTest, UnsafeNamesOfAMultipleSelectionAreSkipped) {
    setEntries({"..", "../up.txt", "fine.txt"});
    TDownloadForm form(*queue, {0, 1, 2});
    form.pathBox->setEditText(path("out"));
    form.onOkClick();
    ASSERT_EQ(form.chosen().size(), 1u);
    EXPECT_EQ(form.chosen()[0].name, "fine.txt");
    EXPECT_TRUE(infoHas("../up.txt"));
}

TEST_F(DownloadFormTest, OkRefusesAnEmptyFolderAndABadSingleName) {
    setEntries({"a:b"});
    TDownloadForm form(*queue, {0});
    form.onOkClick();
    form.pathBox->setEditText(path("out"));
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompt->messages()[0].text, "Please enter the path with the files download to.");
    EXPECT_EQ(prompt->messages()[1].text,
              "The following characters can not be contained in the name of files: \\/:*?\"<>|");
    EXPECT_TRUE(form.chosen().empty());
    EXPECT_FALSE(QFileInfo(path("out")).exists());
}

TEST_F(DownloadFormTest, AFolderThatCannotBeMadeKeepsTheDialogOpen) {
    writeBytes("file", "x");
    setEntries({"a"});
    TDownloadForm form(*queue, {0});
    form.pathBox->setEditText(path("file/below"));
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "Can not create the folder " + path("file/below") +
                                              ", please check and enter again.");
    EXPECT_TRUE(form.chosen().empty());
}

TEST_F(DownloadFormTest, LongFoldersAreStoredCutToFiftyBytesAndClearHistoryEmptiesTheFile) {
    setEntries({"a"});
    const QString longPath = path("") + QString(60 - path("").size(), 'd');
    ASSERT_EQ(longPath.size(), 60);
    {
        TDownloadForm form(*queue, {0});
        form.pathBox->setEditText(longPath);
        EXPECT_EQ(form.pathBox->currentText(), longPath);
        form.onOkClick();
    }
    QFile file(recent());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 4 + 51);
    EXPECT_EQ(bytes.left(4), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(static_cast<int>(bytes[4]), 50);
    EXPECT_EQ(RecentList::Load(recent()), QStringList({longPath.left(50)}));

    TDownloadForm form(*queue, {0});
    EXPECT_EQ(form.pathBox->count(), 1);
    EXPECT_EQ(form.pathBox->currentText(), "");
    form.onClearHistoryClick();
    form.onCancelClick();
    EXPECT_EQ(readFile("Downloads.dat"), QByteArray(4, '\0'));
}

TEST_F(DownloadFormTest, MultiByteEntriesAreNeverCutInsideACharacter) {
    const QString text = QString(49, 'a') + QString::fromUtf8("\xC3\xA9");
    EXPECT_EQ(RecentList::CutEntry(text).size(), 49);
    ASSERT_TRUE(RecentList::Save(recent(), {text, "b"}));
    EXPECT_EQ(RecentList::Load(recent()), QStringList({QString(49, 'a'), "b"}));
}

TEST_F(DownloadFormTest, ForbiddenCharactersTypedInTheFolderBoxAreReported) {
    setEntries({""});
    TDownloadForm form(*queue, {0});
    form.pathBox->setEditText("a*b");
    ASSERT_FALSE(prompt->messages().isEmpty());
    EXPECT_EQ(prompt->messages().last().text,
              "The following characters can not be contained in the name of files: /\\*?\"<>|");
    EXPECT_EQ(form.pathBox->currentText(), "a*b");
}

TEST_F(DownloadFormTest, BrowseStartsAtTheTypedFolderAndTakesTheChoice) {
    setEntries({""});
    TDownloadForm form(*queue, {0});
    form.pathBox->setEditText(path("start"));
    prompt->QueuePath(path("chosen"));
    form.onBrowseClick();
    EXPECT_EQ(prompt->folderStarts(), QStringList({path("start")}));
    EXPECT_EQ(form.pathBox->currentText(), path("chosen"));
}

} // namespace

namespace {

TEST_F(DownloadFormTest, ASingleEntryNamedDotDotIsRefused) {
    setEntries({folder("..")});
    TDownloadForm form(*queue, {0});
    form.pathBox->setEditText(path("out"));
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text,
              "The following characters can not be contained in the name of files: \\/:*?\"<>|");
    EXPECT_TRUE(form.chosen().empty());
}

} // namespace
