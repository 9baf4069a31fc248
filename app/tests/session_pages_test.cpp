#include "app/main_form.h"
#include "browser/browser_frame.h"

#include "ftp/anti_freeze.h"
#include "testing/memory_data_module.h"
#include "testing/refused_port.h"
#include "testing/silent_listener.h"
#include "testing/widget_test_support.h"

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class SessionPagesTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TMemoryDataModule>(folder());
        const int port = RefusedPort();
        for (const char* name : {"alpha", "beta", "gamma"})
            data->addSite(name, "127.0.0.1").port = port;
        form = std::make_unique<TMainForm>(AppPaths(folder()), *data);
        form->resize(900, 700);
        form->show();
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }
    QTabWidget& pages() { return *form->rightPages(); }
    TFormInfo info() { return TFormInfo(path("forminfo.ini")); }

    std::unique_ptr<TMemoryDataModule> data;
    std::unique_ptr<TMainForm> form;
};

TEST_F(SessionPagesTest, OpeningASiteMakesANumberedPageWithItsFrame) {
    form->OpenSession("alpha", false);
    EXPECT_EQ(form->pageCounter(), 1);
    ASSERT_EQ(pages().count(), 2);
    EXPECT_EQ(pages().currentIndex(), 1);
    EXPECT_EQ(pages().currentWidget()->objectName(), "tab1");
    EXPECT_EQ(form->PageCaption(1), "alpha");
    TBrowserFrame* frame = form->ActiveFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame, form->FrameOfPage(1));
    EXPECT_EQ(frame->objectName(), "fr1");
    EXPECT_EQ(frame->settings().siteName, "alpha");
    // The connect was tried, failed and left the retry timer running.
    EXPECT_EQ(frame->infoLines().value(0), "Connecting 127.0.0.1");
    EXPECT_TRUE(frame->retryTimer()->isActive());
    EXPECT_FALSE(form->uploadEnabled());
}

TEST_F(SessionPagesTest, ANewPageTakesTheDefaultLayoutWithoutAnFtpSection) {
    form->OpenSession("alpha", false);
    TBrowserFrame* frame = form->ActiveFrame();
    EXPECT_EQ(frame->infoPaneHeight(), 93);
    EXPECT_EQ(frame->queueListHeight(), 116);
    EXPECT_EQ(frame->viewStyleCode(), TBrowserFrame::Report);
}

TEST_F(SessionPagesTest, ANewPageTakesTheStoredLayout) {
    info().WriteInteger("FTP", "INFO", 120);
    info().WriteInteger("FTP", "UPDOWN", 80);
    info().WriteInteger("FTP", "LVCVIEW", 1);
    form->OpenSession("alpha", false);
    TBrowserFrame* frame = form->ActiveFrame();
    EXPECT_EQ(frame->infoPaneHeight(), 120);
    EXPECT_EQ(frame->queueListHeight(), 80);
    EXPECT_EQ(frame->viewStyleCode(), TBrowserFrame::List);
}

TEST_F(SessionPagesTest, OpeningTheSameSiteAgainShowsItsPage) {
    form->OpenSession("alpha", false);
    form->OpenSession("beta", false);
    form->OpenSession("alpha", false);
    EXPECT_EQ(form->pageCounter(), 2);
    EXPECT_EQ(pages().count(), 3);
    EXPECT_EQ(pages().currentIndex(), 1);
    // A visible page is only brought to the front: no second connect.
    EXPECT_EQ(form->FrameOfPage(1)->infoLines().count("Connecting 127.0.0.1"), 1);
}

TEST_F(SessionPagesTest, AClosedPageComesBackWithItsNumberAndConnectsAgain) {
    form->OpenSession("alpha", false);
    form->ActiveFrame()->SetInfoPaneHeight(101);
    form->CloseCurrentPage();
    EXPECT_FALSE(pages().isTabVisible(1));
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->retryTimer()->isActive());
    EXPECT_TRUE(frame->infoLines().isEmpty());
    EXPECT_EQ(info().ReadInteger("FTP", "INFO", 0), 101);
    EXPECT_EQ(info().ReadInteger("FTP", "UPDOWN", 0), 116);
    EXPECT_EQ(info().ReadInteger("FTP", "LVCVIEW", 0), 3);

    form->OpenSession("alpha", false);
    EXPECT_EQ(form->pageCounter(), 1);
    EXPECT_TRUE(pages().isTabVisible(1));
    EXPECT_EQ(pages().currentIndex(), 1);
    EXPECT_EQ(form->FrameOfPage(1)->infoLines().value(0), "Connecting 127.0.0.1");
}

TEST_F(SessionPagesTest, ASiteNamedLikeTheFixedPageShowsThatPage) {
    form->OpenSession("alpha", false);
    form->OpenSession("FTP Site", false);
    EXPECT_EQ(pages().currentIndex(), 0);
    EXPECT_EQ(form->pageCounter(), 1);
    EXPECT_EQ(form->ActiveFrame(), nullptr);
}

TEST_F(SessionPagesTest, AMissingSiteReportsThatItsInformationCannotBeRead) {
    form->OpenSession("no such site", false);
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompt->messages()[0].text, "Can not read the information of the FTP site.");
    EXPECT_EQ(form->PageCaption(1), "no such site");
}

TEST_F(SessionPagesTest, CloseAllLeavesTheLayoutOfPageOne) {
    form->OpenSession("alpha", false);
    form->ActiveFrame()->SetInfoPaneHeight(71);
    form->OpenSession("beta", false);
    form->ActiveFrame()->SetInfoPaneHeight(72);
    form->CloseCurrentPage();
    form->OpenSession("gamma", false);
    form->ActiveFrame()->SetInfoPaneHeight(73);
    form->CloseAll();
    for (int index = 1; index <= 3; ++index)
        EXPECT_FALSE(pages().isTabVisible(index));
    EXPECT_EQ(info().ReadInteger("FTP", "INFO", 0), 71);
    for (int number = 1; number <= 3; ++number)
        EXPECT_NE(form->FrameOfPage(number), nullptr);
}

TEST_F(SessionPagesTest, ShutdownFreesEveryPageAndWritesTheLayouts) {
    form->OpenSession("alpha", false);
    form->ActiveFrame()->SetInfoPaneHeight(81);
    form->OpenSession("beta", false);
    form->CloseCurrentPage();
    form->OpenSession("gamma", false);
    form->ActiveFrame()->SetInfoPaneHeight(83);
    form->close();
    for (int number = 1; number <= 3; ++number)
        EXPECT_EQ(form->FrameOfPage(number), nullptr);
    EXPECT_EQ(pages().count(), 1);
    EXPECT_EQ(info().ReadInteger("FTP", "INFO", 0), 81);
    EXPECT_EQ(info().ReadInteger("MAIN", "WELCOMEH", 5), 0);
}

TEST_F(SessionPagesTest, RightClickOnTheTabStrip) {
    form->OpenSession("alpha", false);
    QTabBar* bar = pages().tabBar();
    EXPECT_EQ(form->onTabBarRightClick(bar->tabRect(0).center()), nullptr);
    EXPECT_EQ(pages().currentIndex(), 0);
    QMenu* menu = form->onTabBarRightClick(bar->tabRect(1).center());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(pages().currentIndex(), 1);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "Close current page");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "Close all");
    menu->hide();
    items[0]->trigger();
    EXPECT_FALSE(pages().isTabVisible(1));
    EXPECT_EQ(form->onTabBarRightClick(QPoint(-50, -50)), nullptr);
}

TEST_F(SessionPagesTest, RenamingASiteRenamesItsPageAndFrame) {
    form->OpenSession("alpha", false);
    form->RenameSessionPages("alpha", "a & b");
    EXPECT_EQ(form->PageCaption(1), "a & b");
    EXPECT_EQ(pages().tabText(1), "a && b");
    EXPECT_EQ(form->FrameOfPage(1)->settings().siteName, "a & b");
    form->OpenSession("a & b", false);
    EXPECT_EQ(form->pageCounter(), 1);
}

TEST_F(SessionPagesTest, PageChangeFollowsTheFramesLocalFolder) {
    QDir().mkdir(path("work"));
    data->sites[1].localpath = path("work");
    form->OpenSession("beta", false);
    EXPECT_EQ(form->localRoot(), path("work"));
    form->SetUploadEnabled(true);
    pages().setCurrentIndex(0);
    EXPECT_FALSE(form->uploadEnabled());
}

TEST_F(SessionPagesTest, ClosingTheWindowDuringAConnectFreesThePageOnlyAfterwards) {
    SilentListener silent;
    SiteRecord& site = data->addSite("silent", "127.0.0.1");
    site.port = silent.port();
    site.timeout = 1;
    // The engine keeps the window alive while it waits, as the program sets it up.
    TNetAntiFreeze::SetPumpHook([](bool) { QCoreApplication::processEvents(); });
    TNetAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.IdleTimeOut = 50;
    // The close is posted once the new page is active, so the first event the engine pumps
    // while it waits for the greeting is the user closing the window.
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(&pages(), &QTabWidget::currentChanged, form.get(), [this, once] {
        QObject::disconnect(*once);
        QTimer::singleShot(0, form.get(), [this] { form->close(); });
    });
    form->OpenSession("silent", false);
    TNetAntiFreeze::SetPumpHook({});
    // The page shutdown ran inside the connect; the frame outlived the call it was in.
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(info().ReadInteger("FTP", "INFO", 0), 93);
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->infoLines().contains("Error occured,wait 10 second for retry"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->FrameOfPage(1), nullptr);
}

} // namespace
