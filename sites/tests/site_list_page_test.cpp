#include "sites/site_list_page.h"

#include "ui/help_form.h"
#include "ui/session_host.h"
#include "testing/memory_data_module.h"
#include "testing/recording_session_host.h"
#include "testing/widget_test_support.h"
#include "sites/site_editor_form.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace {

class SiteListPageTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TMemoryDataModule>(folder());
        page = std::make_unique<TSiteListPage>(*data, host);
    }
    bool siteCommandsEnabled() const {
        return page->editAction()->isEnabled() && page->deleteAction()->isEnabled() &&
               page->connectionAction()->isEnabled();
    }
    bool siteCommandsDisabled() const {
        return !page->editAction()->isEnabled() && !page->deleteAction()->isEnabled() &&
               !page->connectionAction()->isEnabled();
    }
    std::unique_ptr<TMemoryDataModule> data;
    TRecordingSessionHost host;
    std::unique_ptr<TSiteListPage> page;
};

TEST_F(SiteListPageTest, EmptyTableShowsOnlyTheNewSiteEntry) {
    page->LoadSiteList();
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite"}));
    EXPECT_TRUE(siteCommandsDisabled());
    page->SelectSite("NewFTPSite");
    EXPECT_TRUE(siteCommandsDisabled());
    EXPECT_EQ(page->contextMenuNow(), nullptr);
    EXPECT_EQ(page->descriptionText(), "");
}

TEST_F(SiteListPageTest, SitesAreListedInTableOrderWithTheirDates) {
    data->addSite("zeta", "z.test").zdate = "2026-03-04 05:06:07";
    data->addSite("alpha", "a.test");
    page->LoadSiteList();
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "zeta", "alpha"}));
    EXPECT_EQ(page->rowOf("zeta"),
              QStringList({"zeta", "z.test", "2026-01-02 03:04:05", "2026-03-04 05:06:07"}));
}

TEST_F(SiteListPageTest, SelectingASiteEnablesItsCommandsAndDescribesIt) {
    SiteRecord& site = data->addSite("alpha", "a.test");
    site.port = 2121;
    site.defaultpath = "/pub";
    site.comment = "first\nsecond";
    page->LoadSiteList();
    ASSERT_NE(page->contextMenuNow(), nullptr);
    EXPECT_FALSE(page->menuConnect()->isVisible());
    page->SelectSite("alpha");
    EXPECT_TRUE(siteCommandsEnabled());
    for (QAction* item :
         {page->menuConnect(), page->menuEdit(), page->menuDelete(), page->menuRename()})
        EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(page->contextMenuNow()->defaultAction(), page->menuConnect());
    EXPECT_EQ(page->descriptionText(), "FTP address : a.test\n"
                                       "Port : 2121\n"
                                       "Create date : 2026-01-02 03:04:05\n"
                                       "Latest date : 2026-01-02 03:04:05\n"
                                       "Default ftp path : /pub\n"
                                       "Comment : \n"
                                       "first\nsecond");
    page->SelectSite("none such");
    EXPECT_TRUE(siteCommandsDisabled());
    EXPECT_NE(page->contextMenuNow(), nullptr);
    EXPECT_FALSE(page->menuEdit()->isVisible());
    EXPECT_EQ(page->descriptionText(), "");
}

TEST_F(SiteListPageTest, ViewStyleButtonCyclesAndTheDropDownSetsDirectly) {
    EXPECT_EQ(page->viewStyleCode(), TSiteListPage::Report);
    EXPECT_TRUE(page->viewStyleItem(TSiteListPage::Report)->isChecked());
    const int expected[] = {TSiteListPage::SmallIcon, TSiteListPage::List, TSiteListPage::LargeIcon,
                            TSiteListPage::Report, TSiteListPage::SmallIcon};
    for (int code : expected) {
        page->onViewStyleClick();
        EXPECT_EQ(page->viewStyleCode(), code);
        EXPECT_TRUE(page->viewStyleItem(code)->isChecked());
    }
    const int counter = page->siteViewCounter();
    page->onViewStyleItem(TSiteListPage::LargeIcon);
    EXPECT_EQ(page->viewStyleCode(), TSiteListPage::LargeIcon);
    EXPECT_EQ(page->siteViewCounter(), counter);
    page->SetViewStyleCode(4);
    page->SetViewStyleCode(-1);
    EXPECT_EQ(page->viewStyleCode(), TSiteListPage::LargeIcon);
}

TEST_F(SiteListPageTest, SelectionSurvivesAStyleChange) {
    data->addSite("alpha", "a.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    page->onViewStyleItem(TSiteListPage::LargeIcon);
    EXPECT_EQ(page->selectedCaption(), "alpha");
    EXPECT_TRUE(siteCommandsEnabled());
}

TEST_F(SiteListPageTest, DoubleClickOpensASessionOrTheEditor) {
    data->addSite("alpha", "a.test");
    page->LoadSiteList();
    page->onListDoubleClick();
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_TRUE(prompt->formsRun().isEmpty());

    page->SelectSite("alpha");
    page->onListDoubleClick();
    page->onConnectionClick();
    page->onConnectClick();
    EXPECT_EQ(host.opened, QStringList({"alpha", "alpha", "alpha"}));

    page->SelectSite("NewFTPSite");
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& editor = static_cast<TSiteEditorForm&>(dialog);
        editor.nameEdit->setText("beta");
        editor.addressEdit->setText("b.test");
        editor.onOkClick();
    });
    page->onListDoubleClick();
    EXPECT_EQ(prompt->formsRun(), QStringList({"New FTP Site"}));
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "alpha", "beta"}));
    EXPECT_EQ(host.opened.size(), 3);
}

TEST_F(SiteListPageTest, EditOpensTheEditorOnTheSelectedSite) {
    data->addSite("alpha", "a.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    QString seenAddress;
    prompt->QueueFormAction([&seenAddress](QDialog& dialog) {
        auto& editor = static_cast<TSiteEditorForm&>(dialog);
        seenAddress = editor.addressEdit->text();
        editor.nameEdit->setText("renamed");
        editor.onOkClick();
    });
    page->onEditClick();
    EXPECT_EQ(prompt->formsRun(), QStringList({"Edit FTP Site"}));
    EXPECT_EQ(seenAddress, "a.test");
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "renamed"}));
    // A renaming through the editor leaves open pages alone.
    EXPECT_TRUE(host.renamed.isEmpty());
}

TEST_F(SiteListPageTest, EditOfASiteDeletedMeanwhileDoesNothing) {
    data->addSite("alpha", "a.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    data->sites.clear();
    page->onEditClick();
    EXPECT_TRUE(prompt->formsRun().isEmpty());
}

TEST_F(SiteListPageTest, DeleteAsksFirst) {
    data->addSite("alpha", "a.test");
    data->addSite("beta", "b.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    page->onDeleteClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Confirmation);
    EXPECT_EQ(prompt->messages()[0].text, "Are you sure to delete <alpha>?");
    EXPECT_EQ(data->sites.size(), 2u);
    prompt->QueueAnswer(PromptAnswer::Yes);
    page->onDeleteClick();
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "beta"}));
    ASSERT_EQ(data->sites.size(), 1u);
    EXPECT_EQ(data->sites[0].name, "beta");
}

TEST_F(SiteListPageTest, RenameInPlaceRenamesTheSiteAndItsPages) {
    data->addSite("alpha", "a.test");
    data->addSite("beta", "b.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    EXPECT_TRUE(page->RenameSite("alpha", "gamma"));
    EXPECT_EQ(data->sites[0].name, "gamma");
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "gamma", "beta"}));
    EXPECT_EQ(host.renamed, QStringList({"alpha->gamma"}));
    EXPECT_TRUE(prompt->messages().isEmpty());
}

TEST_F(SiteListPageTest, RenameToATakenOrEmptyNameIsRefusedAndTheCaptionRestored) {
    data->addSite("alpha", "a.test");
    data->addSite("beta", "b.test");
    page->LoadSiteList();
    page->SelectSite("alpha");
    EXPECT_FALSE(page->RenameSite("alpha", "beta"));
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompt->messages()[0].text, "The name beta was existed, please re-enter.");
    EXPECT_FALSE(page->RenameSite("alpha", ""));
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[1].text, "Please enter name.");
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "alpha", "beta"}));
    EXPECT_EQ(data->sites[0].name, "alpha");
    EXPECT_TRUE(host.renamed.isEmpty());
}

TEST_F(SiteListPageTest, EditingTheCaptionRunsTheRename) {
    data->addSite("alpha", "a.test");
    data->addSite("beta", "b.test");
    page->LoadSiteList();
    page->show();
    page->SelectSite("alpha");
    page->onRenameClick();
    auto* editor = page->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("beta");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    // The delegate commits on the next turn of the event loop.
    QCoreApplication::processEvents();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "The name beta was existed, please re-enter.");
    // The in-place editor commits through the model, which runs the rename command.
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "alpha", "beta"}));

    // Let the closed editor go before looking for the next one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    page->onRenameClick();
    editor = page->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("delta");
    QCoreApplication::sendEvent(editor, &enter);
    QCoreApplication::processEvents();
    EXPECT_EQ(page->captions(), QStringList({"NewFTPSite", "delta", "beta"}));
    EXPECT_EQ(data->sites[0].name, "delta");
}

TEST_F(SiteListPageTest, HelpShowsTheSiteListTopic) {
    page->onHelpClick();
    ASSERT_NE(Desktop().helpForm(), nullptr);
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "Newitem");
}

} // namespace
