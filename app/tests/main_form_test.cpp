#include "app/main_form.h"

#include "testing/memory_data_module.h"
#include "ui/help_form.h"
#include "app/top_bar.h"
#include "sites/site_list_page.h"
#include "testing/widget_test_support.h"

#include <QFileInfo>
#include <QTabWidget>
#include <QToolButton>

namespace {

class MainFormTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TMemoryDataModule>(folder());
    }
    std::unique_ptr<TMainForm> makeForm() {
        return std::make_unique<TMainForm>(AppPaths(folder()), *data);
    }
    QString iniText() const {
        QFile f(path("forminfo.ini"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).remove('\r');
    }
    std::unique_ptr<TMemoryDataModule> data;
};

TEST_F(MainFormTest, BuildsTheWindowAsDesigned) {
    auto form = makeForm();
    EXPECT_EQ(form->windowTitle(), "Oxbrook FREE Edition");
    EXPECT_EQ(form->topBar()->height(), 34);
    for (const char* caption : {"Options", "Feedback", "Homepage", "Help", "About", "Exit"})
        EXPECT_NE(form->topBar()->button(caption), nullptr) << caption;
    ASSERT_EQ(form->leftPages()->count(), 3);
    EXPECT_EQ(form->leftPages()->tabText(0), "&Local File");
    EXPECT_EQ(form->leftPages()->tabText(1), "&History");
    EXPECT_EQ(form->leftPages()->tabText(2), "&Tasks");
    ASSERT_EQ(form->rightPages()->count(), 1);
    EXPECT_EQ(form->rightPages()->tabText(0), "FTP Site");
}

TEST_F(MainFormTest, FirstStartWithoutLayoutFileUsesTheDefaults) {
    data->addSite("alpha", "ftp.alpha.test");
    auto form = makeForm();
    form->show();
    EXPECT_TRUE(data->connected);
    EXPECT_FALSE(form->startFailed());
    EXPECT_EQ(form->leftPages()->currentIndex(), 0);
    EXPECT_EQ(form->leftWidth(), 307);
    EXPECT_EQ(form->siteListPage()->viewStyleCode(), TSiteListPage::LargeIcon);
    EXPECT_EQ(form->siteListPage()->captions(), QStringList({"NewFTPSite", "alpha"}));
}

TEST_F(MainFormTest, StartMakesTheTempFolderAndStoresIt) {
    auto form = makeForm();
    form->show();
    EXPECT_TRUE(QFileInfo(path("temp")).isDir());
    EXPECT_EQ(data->temppath, path("temp"));
    EXPECT_EQ(form->tempPath(), path("temp"));
}

TEST_F(MainFormTest, AnExistingTempFolderSettingIsKept) {
    QDir().mkdir(path("elsewhere"));
    data->temppath = path("elsewhere");
    auto form = makeForm();
    form->show();
    EXPECT_EQ(form->tempPath(), path("elsewhere"));
    // The folder beside the program is made all the same.
    EXPECT_TRUE(QFileInfo(path("temp")).isDir());
}

TEST_F(MainFormTest, ClosingWritesTheMainSectionInItsKeyOrder) {
    auto form = makeForm();
    form->show();
    form->leftPages()->setCurrentIndex(2);
    form->siteListPage()->onViewStyleItem(TSiteListPage::List);
    form->close();
    const QString expected = QStringLiteral("[MAIN]\nP2=2\nLOCALPATH=-1\nPWIDTH=%1\n"
                                            "FTPSITEVIEW=1\nWELCOMEH=0\n")
                                 .arg(form->leftWidth());
    EXPECT_EQ(iniText(), expected);
}

TEST_F(MainFormTest, TheMainSectionIsAppliedAtShowAndWrittenBack) {
    QDir().mkdir(path("local"));
    TFormInfo(path("forminfo.ini")).WriteInteger("FTP", "INFO", 80);
    TFormInfo info(path("forminfo.ini"));
    info.WriteInteger("MAIN", "WELCOMEH", 5);
    info.WriteInteger("MAIN", "PWIDTH", 250);
    info.WriteInteger("MAIN", "P2", 1);
    info.WriteString("MAIN", "LOCALPATH", path("local"));
    info.WriteInteger("MAIN", "FTPSITEVIEW", 2);
    auto form = makeForm();
    form->show();
    EXPECT_EQ(form->leftPages()->currentIndex(), 1);
    EXPECT_EQ(form->localRoot(), path("local"));
    EXPECT_EQ(form->leftWidth(), 250);
    EXPECT_EQ(form->siteListPage()->viewStyleCode(), TSiteListPage::SmallIcon);
    form->onExitClick();
    EXPECT_FALSE(form->isVisible());
    // Existing keys keep their places; the FTP section stays untouched.
    EXPECT_EQ(iniText(), QStringLiteral("[FTP]\nINFO=80\n\n[MAIN]\nWELCOMEH=0\nPWIDTH=250\nP2=1\n"
                                        "LOCALPATH=%1\nFTPSITEVIEW=2\n")
                             .arg(path("local")));
}

TEST_F(MainFormTest, UnknownCodesLeaveTheDesignValues) {
    TFormInfo info(path("forminfo.ini"));
    info.WriteInteger("MAIN", "P2", 7);
    info.WriteInteger("MAIN", "FTPSITEVIEW", 9);
    info.WriteString("MAIN", "LOCALPATH", path("gone"));
    auto form = makeForm();
    form->show();
    EXPECT_EQ(form->leftPages()->currentIndex(), 0);
    EXPECT_EQ(form->siteListPage()->viewStyleCode(), TSiteListPage::Report);
    form->close();
    // A root that is no existing folder is stored as "-1".
    EXPECT_EQ(TFormInfo(path("forminfo.ini")).ReadString("MAIN", "LOCALPATH", ""), "-1");
}

TEST_F(MainFormTest, AStoreThatCannotBeOpenedIsReportedAndNothingIsWritten) {
    data->connectError = "Table store file all.dat is damaged";
    auto form = makeForm();
    form->show();
    EXPECT_TRUE(form->startFailed());
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompt->messages()[0].text, "Table store file all.dat is damaged");
    form->close();
    EXPECT_FALSE(QFile::exists(path("forminfo.ini")));
    EXPECT_FALSE(QFile::exists(path("temp")));
}

TEST_F(MainFormTest, FirstStartWithTheRealStoreMakesItsFilesAndTheTempFolder) {
    {
        TDataModule store(folder());
        TMainForm form(AppPaths(folder()), store);
        form.show();
        EXPECT_FALSE(form.startFailed());
        EXPECT_TRUE(QFileInfo::exists(path("all.dat")));
        EXPECT_TRUE(QFileInfo::exists(path("FTPBookmark.dat")));
        EXPECT_TRUE(QFileInfo(path("temp")).isDir());
        EXPECT_EQ(store.ReadOptions().temppath, path("temp"));
        EXPECT_EQ(form.siteListPage()->captions(), QStringList({"NewFTPSite"}));
        SiteRecord site;
        site.name = "kept";
        site.address = "kept.test";
        store.AppendSite(site);
        form.close();
    }
    TDataModule store(folder());
    TMainForm form(AppPaths(folder()), store);
    form.show();
    EXPECT_EQ(form.siteListPage()->captions(), QStringList({"NewFTPSite", "kept"}));
    EXPECT_TRUE(prompt->messages().isEmpty());
}

TEST_F(MainFormTest, TopBarButtonsReachTheDesktop) {
    auto form = makeForm();
    form->show();
    form->topBar()->button("Feedback")->click();
    form->topBar()->button("Homepage")->click();
    ASSERT_EQ(desktop->urls.size(), 2);
    EXPECT_EQ(desktop->urls[0].scheme(), "mailto");
    EXPECT_EQ(desktop->urls[0].path(), TMainForm::FeedbackUrl().path());
    EXPECT_EQ(desktop->urls[1].scheme(), "https");
    form->topBar()->button("Help")->click();
    ASSERT_NE(Desktop().helpForm(), nullptr);
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "");
    form->topBar()->button("Options")->click();
    form->topBar()->button("About")->click();
    EXPECT_TRUE(prompt->messages().isEmpty());
    form->topBar()->button("Exit")->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QFile::exists(path("forminfo.ini")));
}

} // namespace
