// The main window with its real store and a real FTP server, driven as a user drives it: a site
// made in the editor, opened, browsed, closed and reopened, renamed and deleted while its page is
// open, pages closed in the middle of a connect, and what survives a restart.

#include "app/main_form.h"
#include "browser/browser_frame.h"
#include "browser/remote_list_menu.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "ftp/anti_freeze.h"
#include "ftp/ftp.h"
#include "sites/site_editor_form.h"
#include "sites/site_list_page.h"
#include "testing/silent_listener.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"
#include "ui/form_info.h"
#include "ui/icons.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

class SessionFlowTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("root/music/live"));
        QDir().mkpath(path("ftpd"));
        QFile file(path("root/readme.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("hello");
        file.close();
        QFile inner(path("root/music/song.mp3"));
        ASSERT_TRUE(inner.open(QIODevice::WriteOnly));
        inner.write(QByteArray(5000, 'm'));
        inner.close();
        server = std::make_unique<oxbrook::testing::FtpdPeer>(path("ftpd").toStdString(),
                                                              path("root").toStdString());
        start();
    }
    void TearDown() override {
        stop();
        server.reset();
        UiTest::TearDown();
    }
    void start() {
        data = std::make_unique<TDataModule>(folder());
        form = std::make_unique<TMainForm>(AppPaths(folder()), *data);
        form->show();
        ASSERT_FALSE(form->startFailed());
    }
    void stop() {
        if (form) form->close();
        form.reset();
        data.reset();
    }
    // Makes a site through the editor, as a double-click on "NewFTPSite" does.
    void makeSite(const QString& name, int port) {
        prompt->QueueFormAction([name, port](QDialog& dialog) {
            auto& editor = static_cast<TSiteEditorForm&>(dialog);
            editor.nameEdit->setText(name);
            editor.addressEdit->setText("127.0.0.1");
            editor.portSpin->setValue(port);
            editor.userNameEdit->setText("oxuser");
            editor.passwordEdit->setText("oxpass");
            editor.timeoutSpin->setValue(5);
            editor.onOkClick();
        });
        form->siteListPage()->SelectSite("NewFTPSite");
        form->siteListPage()->onListDoubleClick();
    }
    void openSite(const QString& name) {
        form->siteListPage()->SelectSite(name);
        form->siteListPage()->onListDoubleClick();
    }
    QStringList names(TBrowserFrame& frame) const {
        QStringList out;
        for (int row = 0; row < frame.remoteRowCount(); ++row)
            out << frame.remoteRow(row).value(0);
        return out;
    }
    bool tabShowsConnected(int index) const {
        return form->rightPages()->tabIcon(index).cacheKey() ==
               TIcons::Get(TIcon::Connect).cacheKey();
    }

    std::unique_ptr<oxbrook::testing::FtpdPeer> server;
    std::unique_ptr<TDataModule> data;
    std::unique_ptr<TMainForm> form;
};

TEST_F(SessionFlowTest, ASiteMadeInTheEditorIsOpenedBrowsedClosedAndReopened) {
    makeSite("mirror", server->port());
    ASSERT_EQ(form->siteListPage()->captions(), QStringList({"NewFTPSite", "mirror"}));
    openSite("mirror");
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    EXPECT_EQ(form->rightPages()->currentIndex(), 1);
    EXPECT_EQ(form->rightPages()->tabText(1), "mirror");
    EXPECT_TRUE(tabShowsConnected(1));
    EXPECT_TRUE(form->uploadEnabled());
    EXPECT_EQ(names(*frame).mid(0, 1), QStringList({"music"}));
    EXPECT_TRUE(names(*frame).contains("readme.txt"));

    frame->SelectRemoteRow(names(*frame).indexOf("music"));
    frame->onRemoteDoubleClick();
    EXPECT_EQ(frame->pathBar()->text(), "/music");
    frame->onColumnClick(0);
    EXPECT_EQ(names(*frame), QStringList({"live", "song.mp3"}));
    frame->onColumnClick(1);
    EXPECT_EQ(names(*frame).last(), "song.mp3");
    QFile later(path("root/music/zz.txt"));
    ASSERT_TRUE(later.open(QIODevice::WriteOnly));
    later.close();
    frame->onRefreshClick();
    EXPECT_TRUE(names(*frame).contains("zz.txt"));
    frame->onBackClick();
    EXPECT_EQ(frame->currentPath(), "/");

    // Ctrl+W closes the page in front; the page keeps its number when the site opens again.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    frame->remoteList()->setFocus();
    QTest::keyClick(frame->remoteList(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(form->rightPages()->isTabVisible(1));
    EXPECT_FALSE(frame->Connected());
    EXPECT_FALSE(frame->retryTimer()->isActive());
    EXPECT_FALSE(frame->keepAliveTimer()->isActive());
    openSite("mirror");
    EXPECT_EQ(form->pageCounter(), 1);
    EXPECT_EQ(form->FrameOfPage(1), frame);
    EXPECT_TRUE(form->rightPages()->isTabVisible(1));
    EXPECT_TRUE(frame->Connected());
    EXPECT_TRUE(tabShowsConnected(1));
}

TEST_F(SessionFlowTest, RenamingOrDeletingASiteWhileItsPageIsOpen) {
    makeSite("old name", server->port());
    openSite("old name");
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(frame->Connected());
    const int id = frame->settings().siteId;
    HistoryTransfer job;
    job.type = "Download";
    job.ftpfile = "readme.txt";
    job.lofile = "readme.txt";
    job.date = "10:00:00";
    job.date2 = "10:00:01";
    data->AppendHistory(id, "Wednesday, 9 December 2026", job);
    ASSERT_EQ(data->LoadHistoryTransfers().size(), 1u);

    ASSERT_TRUE(form->siteListPage()->RenameSite("old name", "new name"));
    EXPECT_EQ(form->rightPages()->tabText(1), "new name");
    EXPECT_EQ(frame->settings().siteName, "new name");
    // The page goes on with the renamed record: a refresh and a reconnect find it.
    frame->onRefreshClick();
    EXPECT_TRUE(frame->Connected());
    frame->onDisconnectClick();
    frame->onDisconnectClick();
    EXPECT_TRUE(frame->Connected());
    EXPECT_EQ(frame->settings().siteId, id);

    prompt->QueueAnswer(PromptAnswer::Yes);
    form->siteListPage()->SelectSite("new name");
    form->siteListPage()->onDeleteClick();
    EXPECT_EQ(form->siteListPage()->captions(), QStringList({"NewFTPSite"}));
    EXPECT_FALSE(data->FindSite("new name").has_value());
    EXPECT_TRUE(data->LoadHistoryTransfers().empty());
    EXPECT_TRUE(data->LoadHistoryDays().empty());
    // The open page of a deleted site cannot read it any more and says so.
    prompt->ClearRecords();
    frame->onDisconnectClick();
    frame->onDisconnectClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "Can not read the information of the FTP site.");
}

// Closes pages through `close` as soon as the page of `site` is in front and connecting, with a
// queue item in it.
void closeDuringConnect(TMainForm& form, const QString& site, const std::function<void()>& close) {
    TNetAntiFreeze::SetPumpHook([](bool) { QCoreApplication::processEvents(); });
    TNetAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.IdleTimeOut = 50;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(form.rightPages(), &QTabWidget::currentChanged, &form,
                             [&form, once, close] {
                                 QObject::disconnect(*once);
                                 TBrowserFrame* frame = form.ActiveFrame();
                                 rupdown item;
                                 item.isDownload = 1;
                                 item.name = "kept.bin";
                                 item.localPath = "/tmp/kept.bin";
                                 item.remoteFolder = "0";
                                 frame->transferQueue().AddItem(item);
                                 QTimer::singleShot(0, &form, [frame, close] {
                                     EXPECT_TRUE(frame->inCall());
                                     close();
                                 });
                             });
    form.siteListPage()->SelectSite(site);
    form.siteListPage()->onListDoubleClick();
    TNetAntiFreeze::SetPumpHook({});
}

TEST_F(SessionFlowTest, ClosingPagesDuringAConnectKeepsTheFrameAndItsQueue) {
    SilentListener mute;
    makeSite("mute", mute.port());
    closeDuringConnect(*form, "mute", [this] { form->CloseCurrentPage(); });
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->inCall());
    EXPECT_FALSE(form->rightPages()->isTabVisible(1));
    ASSERT_EQ(frame->transferQueue().items().size(), 1u);
    EXPECT_EQ(frame->transferQueue().items()[0].name, "kept.bin");
    // A page closed in the middle of its connect does not come back by itself.
    EXPECT_FALSE(frame->retryTimer()->isActive());

    closeDuringConnect(*form, "mute", [this] { form->CloseAll(); });
    ASSERT_EQ(form->FrameOfPage(1), frame);
    EXPECT_FALSE(form->rightPages()->isTabVisible(1));
    EXPECT_EQ(frame->transferQueue().items().size(), 2u);
    EXPECT_FALSE(frame->retryTimer()->isActive());
    // Once no call runs any more, closing clears the page's session as usual.
    form->CloseAll();
    EXPECT_TRUE(frame->transferQueue().items().empty());
}

TEST_F(SessionFlowTest, LayoutAndRecordsSurviveARestart) {
    makeSite("keep", server->port());
    openSite("keep");
    TBrowserFrame* frame = form->FrameOfPage(1);
    ASSERT_NE(frame, nullptr);
    frame->SetInfoPaneHeight(120);
    frame->SetViewStyleCode(TBrowserFrame::List);
    form->leftPages()->setCurrentIndex(2);
    form->SetLeftWidth(280);
    form->siteListPage()->SetViewStyleCode(TSiteListPage::Report);
    stop();

    TFormInfo ini(path("forminfo.ini"));
    EXPECT_EQ(ini.ReadInteger("FTP", "INFO", 0), 120);
    EXPECT_EQ(ini.ReadInteger("FTP", "LVCVIEW", -1), TBrowserFrame::List);

    start();
    EXPECT_EQ(form->leftPages()->currentIndex(), 2);
    EXPECT_EQ(form->leftWidth(), 280);
    EXPECT_EQ(form->siteListPage()->viewStyleCode(), TSiteListPage::Report);
    EXPECT_EQ(form->siteListPage()->captions(), QStringList({"NewFTPSite", "keep"}));
    const std::optional<SiteRecord> site = data->FindSite("keep");
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->port, server->port());
    EXPECT_EQ(site->password, "oxpass");
    EXPECT_FALSE(site->zdate.isEmpty());
    openSite("keep");
    TBrowserFrame* again = form->FrameOfPage(1);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->Connected());
    EXPECT_EQ(again->infoPaneHeight(), 120);
    EXPECT_EQ(again->viewStyleCode(), TBrowserFrame::List);
    EXPECT_TRUE(prompt->messages().isEmpty());
}

} // namespace
