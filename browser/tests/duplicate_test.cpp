#include "browser/duplicate_form.h"
#include "browser/tests/transfer_test_support.h"

#include <QLabel>
#include <QPushButton>

namespace {

using Form = TDuplicateForm;

class DuplicateTest : public TransferTest {
protected:
    void prepare(int count) {
        for (int i = 1; i <= count; ++i) {
            writeBytes(QString("root/x%1").arg(i), "new");
            writeBytes(QString("local/x%1").arg(i), "old");
        }
        connectFrame();
    }
    // Answers the next dialog with a rename to `name`, which must keep it open, then Skip.
    void renameRefusedThenSkip(const QString& name) {
        prompt->QueueInput(name);
        prompt->QueueFormAction([](QDialog& dialog) {
            auto& form = dynamic_cast<Form&>(dialog);
            form.onRenameClick();
            EXPECT_EQ(form.result(), QDialog::Rejected);
            form.onSkipClick();
        });
    }
    void queueAll(int count) {
        for (int i = 1; i <= count; ++i)
            queue->AddItem(download(QString("x%1").arg(i), 3));
    }
};

TEST_F(DuplicateTest, OverwriteAllAndSkipAllHoldForOneRunAndTheNextRunAsksAgain) {
    prepare(3);
    queueAll(3);
    answer<Form>(&Form::onOverwriteAllClick);
    queue->RunSequence(false);
    EXPECT_EQ(prompt->formsRun(), QStringList({"Duplicate file found"}));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(readFile(QString("local/x%1").arg(i)), "new");
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 3u);
    EXPECT_TRUE(frame->transferQueue().askOnConflict());

    for (int i = 1; i <= 3; ++i)
        writeBytes(QString("root/x%1").arg(i), "newer");
    queueAll(3);
    answer<Form>(&Form::onSkipAllClick);
    queue->RunSequence(false);
    EXPECT_EQ(prompt->formsRun().size(), 2);
    EXPECT_TRUE(frame->transferQueue().items().empty());
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(readFile(QString("local/x%1").arg(i)), "new");
    // Skipped jobs are not recorded.
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 3u);
    EXPECT_EQ(frame->transferQueue().conflictAnswer(), TDuplicateAnswer::Cancel);
}

TEST_F(DuplicateTest, OverwriteSkipAndCancelActOnOneItemEach) {
    prepare(3);
    queueAll(3);
    answer<Form>(&Form::onOverwriteClick);
    answer<Form>(&Form::onSkipClick);
    answer<Form>(&Form::onCancelClick);
    queue->RunSequence(false);
    EXPECT_EQ(prompt->formsRun().size(), 3);
    EXPECT_EQ(readFile("local/x1"), "new");
    EXPECT_EQ(readFile("local/x2"), "old");
    EXPECT_EQ(readFile("local/x3"), "old");
    ASSERT_EQ(data->LoadHistoryTransfers().size(), 1u);
    EXPECT_EQ(data->LoadHistoryTransfers()[0].ftpfile, "x1");
}

TEST_F(DuplicateTest, ResumeContinuesAShorterLocalCopyWithRest) {
    const QByteArray whole = writeFile("root/half.bin", 300000);
    writeBytes("local/half.bin", whole.left(100000));
    connectFrame();
    queue->AddItem(download("half.bin", 300000));
    bool offered = false;
    prompt->QueueFormAction([&](QDialog& dialog) {
        auto& form = dynamic_cast<Form&>(dialog);
        offered = form.resumeButton->isEnabled();
        EXPECT_EQ(form.firstHeading->text(), "Remote file");
        EXPECT_EQ(form.secondHeading->text(), "Local file");
        EXPECT_EQ(form.first.size->text(), "300000");
        EXPECT_EQ(form.second.size->text(), "100000");
        form.onResumeClick();
    });
    queue->RunSequence(false);
    EXPECT_TRUE(offered);
    EXPECT_EQ(readFile("local/half.bin"), whole);
    // The frame's own REST, the engine's probe once per connection, then its REST and RETR.
    QStringList sent;
    for (const QString& line : frame->infoLines())
        if (line.startsWith("REST") || line.startsWith("RETR")) sent << line;
    EXPECT_EQ(sent,
              QStringList({"REST 100000", "REST 1", "REST 0", "REST 100000", "RETR half.bin"}));
    EXPECT_EQ(queue->gaugeMaximum(), 200000);
    EXPECT_TRUE(frame->countPanel()->text().startsWith("200000/"))
        << frame->countPanel()->text().toStdString();
    EXPECT_EQ(data->LoadHistoryTransfers().size(), 1u);
}

TEST_F(DuplicateTest, ResumeIsNotOfferedForAnEqualOrLongerLocalFileNorForFolders) {
    writeFile("root/same.bin", 1000);
    writeFile("local/same.bin", 1000);
    QDir().mkpath(path("root/dir"));
    QDir().mkpath(path("local/dir"));
    connectFrame();
    queue->AddItem(download("same.bin", 1000));
    queue->AddItem(download("dir", 0, true));
    QStringList seen;
    for (int i = 0; i < 2; ++i) {
        prompt->QueueFormAction([&](QDialog& dialog) {
            auto& form = dynamic_cast<Form&>(dialog);
            seen << (form.resumeButton->isEnabled() ? "on" : "off") + QString(":") +
                        form.first.type->text() + ":" + form.second.type->text();
            form.onSkipClick();
        });
    }
    queue->RunSequence(false);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].startsWith("off:"));
    EXPECT_EQ(seen[1], "off:Folder:Folder");
}

TEST_F(DuplicateTest, RenameStoresUnderTheNewNameAndRefusesBadNames) {
    prepare(1);
    queue->AddItem(download("x1", 3));
    prompt->QueueInput("bad*name");
    prompt->QueueInput("renamed");
    bool stayed = false;
    prompt->QueueFormAction([&](QDialog& dialog) {
        auto& form = dynamic_cast<Form&>(dialog);
        form.onRenameClick();
        stayed = form.result() == QDialog::Rejected;
        form.onRenameClick();
    });
    queue->RunSequence(false);
    EXPECT_TRUE(stayed);
    ASSERT_FALSE(prompt->messages().isEmpty());
    EXPECT_EQ(prompt->messages()[0].text,
              "The following characters can not be contained in the name of files: \\/:*?\"<>|");
    EXPECT_EQ(readFile("local/x1"), "old");
    EXPECT_EQ(readFile("local/renamed"), "new");
    ASSERT_EQ(data->LoadHistoryTransfers().size(), 1u);
    EXPECT_EQ(data->LoadHistoryTransfers()[0].lofile, "renamed");
    EXPECT_EQ(data->LoadHistoryTransfers()[0].ftpfile, "x1");
}

TEST_F(DuplicateTest, RenameOfAnUploadToANameOnTheServerIsRefused) {
    writeBytes("root/up", "remote");
    writeBytes("root/taken", "t");
    writeBytes("local/up", "local!");
    connectFrame();
    queue->AddItem(upload("up"));
    prompt->QueueInput("taken");
    prompt->QueueInput("fresh");
    prompt->QueueFormAction([&](QDialog& dialog) {
        auto& form = dynamic_cast<Form&>(dialog);
        EXPECT_EQ(form.firstHeading->text(), "Local file");
        EXPECT_EQ(form.first.size->text(), "6");
        EXPECT_EQ(form.second.size->text(), "6");
        EXPECT_FALSE(form.resumeButton->isEnabled());
        form.onRenameClick();
        form.onRenameClick();
    });
    queue->RunSequence(false);
    ASSERT_FALSE(prompt->messages().isEmpty());
    EXPECT_EQ(prompt->messages()[0].text, "The name taken was existed, please re-enter.");
    EXPECT_EQ(readFile("root/fresh"), "local!");
    EXPECT_EQ(readFile("root/up"), "remote");
    ASSERT_EQ(data->LoadHistoryTransfers().size(), 1u);
    EXPECT_EQ(data->LoadHistoryTransfers()[0].ftpfile, "fresh");
    EXPECT_EQ(data->LoadHistoryTransfers()[0].lofile, "up");
}

TEST_F(DuplicateTest, ARenameToDotDotIsRefused) {
    prepare(1);
    queue->AddItem(download("x1", 3));
    renameRefusedThenSkip("..");
    queue->RunSequence(false);
    EXPECT_EQ(readFile("local/x1"), "old");
    EXPECT_EQ(readFile("x1"), "<missing>");
    EXPECT_TRUE(data->LoadHistoryTransfers().empty());
}

TEST_F(DuplicateTest, AnExistingFolderIsOverwrittenKeepingLocalOnlyFiles) {
    writeBytes("root/d/a", "new");
    writeBytes("root/d/sub/b", "new");
    writeBytes("local/d/a", "old");
    writeBytes("local/d/mine", "mine");
    connectFrame();
    queue->AddItem(download("d", 0, true));
    answer<Form>(&Form::onOverwriteClick);
    queue->RunSequence(false);
    EXPECT_EQ(readFile("local/d/a"), "new");
    EXPECT_EQ(readFile("local/d/sub/b"), "new");
    EXPECT_EQ(readFile("local/d/mine"), "mine");
}

} // namespace

namespace {

TEST_F(DuplicateTest, ARenameToANameOfTheRemoteListIsRefusedEvenForALocalFile) {
    prepare(2);
    frame->ListFolder("/");
    queue->AddItem(download("x1", 3));
    renameRefusedThenSkip("x2");
    queue->RunSequence(false);
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompt->messages()[0].text, "The name x2 was existed, please re-enter.");
    EXPECT_EQ(readFile("local/x2"), "old");
}

} // namespace
