#include "testing/scripted_prompt_service.h"

#include "testing/widget_test_support.h"

#include <QDialog>
#include <QLineEdit>

namespace {

using PromptServiceTest = UiTest;

TEST_F(PromptServiceTest, RecordsEveryMessageWithItsKind) {
    ShowWarning(nullptr, "Please enter name.");
    ShowError(nullptr, "Invalid path.");
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompt->messages()[0].text, "Please enter name.");
    EXPECT_EQ(prompt->messages()[1].kind, PromptKind::Error);
    EXPECT_EQ(prompt->messages()[1].text, "Invalid path.");
}

TEST_F(PromptServiceTest, QuestionsTakeQueuedAnswersAndOtherwiseTheSafeOne) {
    prompt->QueueAnswer(PromptAnswer::Yes);
    EXPECT_TRUE(AskYesNo(nullptr, "Are you sure to delete <a>?"));
    EXPECT_FALSE(AskYesNo(nullptr, "Are you sure to delete <b>?"));
    EXPECT_EQ(prompt->Message(nullptr, PromptKind::Confirmation, "c", PromptButtons::YesNoCancel),
              PromptAnswer::Cancel);
    ASSERT_EQ(prompt->messages().size(), 3);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Confirmation);
}

TEST_F(PromptServiceTest, PathsAndInputsComeFromTheirQueues) {
    prompt->QueuePath("/srv/data");
    EXPECT_EQ(Prompt().ChooseFolder(nullptr, "Pick", "/start"), "/srv/data");
    EXPECT_EQ(Prompt().ChooseFolder(nullptr, "Pick", "/again"), "");
    EXPECT_EQ(prompt->folderStarts(), QStringList({"/start", "/again"}));

    prompt->QueuePath("/tmp/log");
    EXPECT_EQ(Prompt().SaveFileName(nullptr, "Save", "", "*.txt|*.txt", "txt"), "/tmp/log.txt");

    QString value = "old";
    prompt->QueueInput("typed");
    EXPECT_TRUE(Prompt().InputText(nullptr, "c", "p", value));
    EXPECT_EQ(value, "typed");
    prompt->QueueInput("ignored", false);
    EXPECT_FALSE(Prompt().InputText(nullptr, "c", "p", value));
    EXPECT_EQ(value, "typed");
}

TEST_F(PromptServiceTest, FormActionRunsWhileTheFormIsOpenAndItsResultIsReturned) {
    QDialog form;
    form.setWindowTitle("Some Form");
    auto* edit = new QLineEdit(&form);
    prompt->QueueFormAction([edit](QDialog& open) {
        edit->setText("filled");
        open.accept();
    });
    EXPECT_EQ(Prompt().ExecForm(&form), QDialog::Accepted);
    EXPECT_EQ(edit->text(), "filled");
    EXPECT_EQ(Prompt().ExecForm(&form), QDialog::Rejected);
    EXPECT_EQ(prompt->formsRun(), QStringList({"Some Form", "Some Form"}));
}

TEST(PromptServiceInstall, ScriptedServiceRestoresThePreviousOne) {
    TestApplication();
    TScriptedPromptService outer;
    {
        TScriptedPromptService inner;
        EXPECT_EQ(&Prompt(), &inner);
    }
    EXPECT_EQ(&Prompt(), &outer);
}

} // namespace
