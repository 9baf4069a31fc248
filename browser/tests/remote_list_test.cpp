// The remote list as a user drives it: the virtual rows, the pop-up menu and its selection rule,
// the keys, and what the information pane shows of a password.

#include "browser/browser_frame.h"
#include "browser/remote_list_menu.h"
#include "browser/tests/frame_settings.h"
#include "browser/transfer_queue.h"

#include "ftp/ftp.h"
#include "testing/memory_data_module.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTreeView>

namespace {

class RemoteListTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("root/docs"));
        QDir().mkpath(path("root/docs/deep"));
        QDir().mkpath(path("server"));
        put("root/notes.txt", 3000);
        put("root/zero.dat", 0);
        put("root/docs/report.txt", 10);
        server = std::make_unique<oxbrook::testing::FtpdPeer>(
            path("server").toStdString(), path("root").toStdString(), "walker", "s3cret-Pa55");
        data = std::make_unique<TMemoryDataModule>(folder());
        SiteRecord& site = data->addSite("home", "127.0.0.1");
        site.port = server->port();
        site.username = "walker";
        site.password = "s3cret-Pa55";
        frame = std::make_unique<TBrowserFrame>(1, *data);
        SetSetting(*frame, &TSessionSettings::siteName, "home");
        frame->resize(700, 500);
    }
    void TearDown() override {
        frame.reset();
        server.reset();
        UiTest::TearDown();
    }
    void put(const QString& name, int size) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'y'));
    }
    int rowOf(const QString& name) const {
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            if (frame->remoteRow(row).value(0) == name) return row;
        return -1;
    }
    void selectRows(std::initializer_list<QString> names) {
        QItemSelectionModel* selection = frame->remoteList()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names)
            selection->select(frame->remoteList()->model()->index(rowOf(name), 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    bool enabled(TRemoteListMenu::Command command) const {
        return TRemoteListMenu::Of(*frame).action(command)->isEnabled();
    }
    // Gives the frame the keyboard focus in a shown, active window, so its keys can act.
    void focusList() {
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        frame->remoteList()->setFocus();
    }
    int count(const QString& line) const {
        return static_cast<int>(frame->infoLines().count(line));
    }

    std::unique_ptr<oxbrook::testing::FtpdPeer> server;
    std::unique_ptr<TMemoryDataModule> data;
    std::unique_ptr<TBrowserFrame> frame;
};

TEST_F(RemoteListTest, PasswordsNeverReachThePaneOrTheSavedLog) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected()) << frame->infoLines().join('\n').toStdString();
    EXPECT_EQ(count("PASS ****"), 1);
    for (const QString& line : frame->infoLines())
        EXPECT_FALSE(line.contains("s3cret")) << line.toStdString();

    const QString saved = path("pane.txt");
    prompt->QueuePath(saved);
    ASSERT_TRUE(frame->onInfoSaveClick());
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("PASS ****\n"));
    EXPECT_FALSE(text.contains("s3cret"));

    // The proxy scheme that joins both passwords in one PASS line hides the whole line too.
    frame->DisconnectSession();
    frame->infoPane()->clear();
    TNetFTP& ftp = frame->ftp();
    ftp.ProxySettings.ProxyType = fpcmUserPass;
    ftp.ProxySettings.UserName = "gate";
    ftp.ProxySettings.Password = "proxy-Secret";
    EXPECT_ANY_THROW(ftp.Connect(true, 5000));
    EXPECT_EQ(count("PASS ****"), 1) << frame->infoLines().join('\n').toStdString();
    for (const QString& line : frame->infoLines()) {
        EXPECT_FALSE(line.contains("Secret")) << line.toStdString();
        EXPECT_FALSE(line.contains("s3cret")) << line.toStdString();
    }
}

TEST_F(RemoteListTest, RowsAreFilledOnDemandFromTheEntries) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    QAbstractItemModel* model = frame->remoteList()->model();
    ASSERT_EQ(model->rowCount(), static_cast<int>(frame->entries().size()));
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), "Modified");
    const int notes = rowOf("notes.txt");
    EXPECT_EQ(frame->remoteRow(notes).mid(1, 1), QStringList({"3KB"}));
    EXPECT_FALSE(model->index(notes, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    const rdatalist& e = frame->entries()[static_cast<size_t>(notes)];
    EXPECT_EQ(model->index(notes, 4).data().toString(),
              e.ownerRights + e.groupRights + e.otherRights);
    // A row the entries no longer hold shows nothing until the next listing resets the count.
    std::vector<rdatalist> fewer = frame->entries();
    fewer.pop_back();
    frame->SetEntries(fewer);
    EXPECT_FALSE(model->index(2, 0).data().isValid());
}

TEST_F(RemoteListTest, TheSelectionEnablesTheCommands) {
    using C = TRemoteListMenu;
    TRemoteListMenu& menu = TRemoteListMenu::Of(*frame);
    EXPECT_EQ(&menu, &TRemoteListMenu::Of(*frame));
    QAction* download = frame->transferQueue().downloadAction();
    QStringList texts;
    for (QAction* item : menu.menu()->actions())
        if (!item->isSeparator()) texts << item->text();
    EXPECT_EQ(texts, QStringList({"Download...", "View", "Edit", "Delete", "Rename", "Move",
                                  "Properties", "Make new directory", "Copy URL to clipboard",
                                  "Export selected", "Find...", "Add task...", "Refresh", "Sort"}));
    EXPECT_TRUE(menu.menu()->actions().contains(download));
    EXPECT_TRUE(menu.menu()->actions().contains(frame->refreshAction()));
    EXPECT_FALSE(download->isEnabled());
    EXPECT_FALSE(menu.deleteButton()->isEnabled());

    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    for (auto c : {C::Delete, C::Rename, C::View, C::Edit, C::Move, C::Find, C::AddTask})
        EXPECT_FALSE(enabled(c)) << c;
    EXPECT_FALSE(menu.sortMenu()->isEnabled());

    selectRows({"notes.txt"});
    for (auto c : {C::Delete, C::Rename, C::View, C::Edit, C::CopyUrl, C::Move, C::Properties,
                   C::MakeDirectory, C::ExportSelected, C::Find, C::AddTask})
        EXPECT_TRUE(enabled(c)) << c;
    EXPECT_TRUE(download->isEnabled());
    EXPECT_TRUE(menu.deleteButton()->isEnabled());
    EXPECT_TRUE(menu.addTaskButton()->isEnabled());
    EXPECT_TRUE(menu.sortMenu()->isEnabled());
    // A right-click opens the menu with the commands as the selection has them.
    menu.onContextMenu(QPoint(5, 5));
    EXPECT_TRUE(menu.menu()->isVisible());
    menu.menu()->hide();

    selectRows({"docs"});
    EXPECT_TRUE(enabled(C::Rename));
    EXPECT_FALSE(enabled(C::View));
    EXPECT_FALSE(enabled(C::Edit));

    selectRows({"docs", "zero.dat"});
    for (auto c : {C::Rename, C::View, C::Edit, C::CopyUrl})
        EXPECT_FALSE(enabled(c)) << c;
    for (auto c : {C::Delete, C::Move, C::ExportSelected, C::AddTask})
        EXPECT_TRUE(enabled(c)) << c;

    // A disconnect empties the list and with it every selection-governed command.
    frame->DisconnectSession();
    EXPECT_FALSE(download->isEnabled());
    EXPECT_FALSE(menu.deleteButton()->isEnabled());
    EXPECT_FALSE(menu.addTaskButton()->isEnabled());
}

TEST_F(RemoteListTest, TheSortItemsSortByTheirColumn) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    TRemoteListMenu& menu = TRemoteListMenu::Of(*frame);
    menu.action(TRemoteListMenu::SortByName)->trigger();
    EXPECT_EQ(frame->sortColumn(), 0);
    EXPECT_EQ(frame->remoteRow(0).value(0), "docs");
    EXPECT_EQ(frame->remoteRow(2).value(0), "zero.dat");
    menu.action(TRemoteListMenu::SortBySize)->trigger();
    EXPECT_EQ(frame->sortColumn(), 1);
    EXPECT_EQ(frame->remoteRow(2).value(0), "notes.txt");
    menu.action(TRemoteListMenu::SortByDate)->trigger();
    EXPECT_EQ(frame->sortColumn(), 3);
    menu.action(TRemoteListMenu::SortByType)->trigger();
    EXPECT_EQ(frame->sortColumn(), 2);
    EXPECT_EQ(frame->remoteRow(0).value(0), "docs");
}

TEST_F(RemoteListTest, HeadingClicksReverseTheOrderAndColumnsFitOnce) {
    put("root/alpha.txt", 5);
    QDir().mkpath(path("root/zeta"));
    frame->show();
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    QHeaderView* header = frame->remoteList()->header();
    EXPECT_TRUE(header->isSortIndicatorShown());
    // Fitted to the first listing: no caption or cell is cut.
    for (int column = 0; column < header->count(); ++column)
        EXPECT_GE(header->sectionSize(column),
                  static_cast<QAbstractItemView*>(frame->remoteList())->sizeHintForColumn(column))
            << column;
    auto names = [this] {
        QStringList out;
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            out << frame->remoteRow(row).value(0);
        return out;
    };
    auto clickHeading = [header](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    clickHeading(0);
    EXPECT_EQ(names(), QStringList({"docs", "zeta", "alpha.txt", "notes.txt", "zero.dat"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeading(0);
    EXPECT_EQ(names(), QStringList({"zeta", "docs", "zero.dat", "notes.txt", "alpha.txt"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeading(1);
    EXPECT_EQ(names().mid(2), QStringList({"zero.dat", "alpha.txt", "notes.txt"}));
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeading(1);
    EXPECT_EQ(names().mid(2), QStringList({"notes.txt", "alpha.txt", "zero.dat"}));
    TRemoteListMenu::Of(*frame).action(TRemoteListMenu::SortBySize)->trigger();
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    // A width the user gives stays through the next listings.
    header->resizeSection(0, 333);
    frame->onRefreshClick();
    frame->SelectRemoteRow(rowOf("docs"));
    frame->onRemoteDoubleClick();
    EXPECT_EQ(frame->currentPath(), "/docs");
    EXPECT_EQ(header->sectionSize(0), 333);
}

TEST_F(RemoteListTest, KeysRefreshEnterAndLeaveFolders) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    focusList();
    // The server offers MLST: folders are listed with MLSD.
    const int lists = count("MLSD");
    put("root/later.txt", 1);
    QTest::keyClick(frame->remoteList(), Qt::Key_F5);
    EXPECT_EQ(count("MLSD"), lists + 1);
    EXPECT_NE(rowOf("later.txt"), -1);

    frame->SelectRemoteRow(rowOf("docs"));
    QTest::keyClick(frame->remoteList(), Qt::Key_Return);
    EXPECT_EQ(frame->currentPath(), "/docs");
    EXPECT_EQ(frame->pathBar()->text(), "/docs");
    QTest::keyClick(frame->remoteList(), Qt::Key_Backspace);
    EXPECT_EQ(frame->currentPath(), "/");

    frame->SelectRemoteRow(rowOf("docs"));
    QTest::keyClick(frame->remoteList(), Qt::Key_Enter);
    frame->SelectRemoteRow(rowOf("deep"));
    QTest::keyClick(frame->remoteList(), Qt::Key_Return);
    EXPECT_EQ(frame->currentPath(), "/docs/deep");
    QTest::keyClick(frame->remoteList(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(frame->currentPath(), "/docs");

    // Enter on a file does what a double-click does: nothing.
    frame->SelectRemoteRow(rowOf("report.txt"));
    QTest::keyClick(frame->remoteList(), Qt::Key_Return);
    EXPECT_EQ(frame->currentPath(), "/docs");
}

TEST_F(RemoteListTest, DeleteAndRenameKeysReachTheirCommands) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    focusList();
    TRemoteListMenu& menu = TRemoteListMenu::Of(*frame);
    int deletes = 0, renames = 0;
    QObject::connect(menu.action(TRemoteListMenu::Delete), &QAction::triggered, [&] { ++deletes; });
    QObject::connect(menu.action(TRemoteListMenu::Rename), &QAction::triggered, [&] { ++renames; });
    // Without a selection the commands are disabled and the keys do nothing.
    QTest::keyClick(frame->remoteList(), Qt::Key_Delete);
    QTest::keyClick(frame->remoteList(), Qt::Key_F2);
    EXPECT_EQ(deletes + renames, 0);
    frame->SelectRemoteRow(rowOf("notes.txt"));
    QTest::keyClick(frame->remoteList(), Qt::Key_Delete);
    QTest::keyClick(frame->remoteList(), Qt::Key_F2);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(renames, 1);
    // The toolbar button is the same command.
    menu.deleteButton()->trigger();
    EXPECT_EQ(deletes, 2);
}

TEST_F(RemoteListTest, KeepAliveGoesOutOnlyAfterTheIdleSeconds) {
    frame->ConnectSite(false);
    ASSERT_TRUE(frame->Connected());
    SetSetting(*frame, &TSessionSettings::keepAliveCommands, {"NOOP", "HELP"});
    SetSetting(*frame, &TSessionSettings::keepAliveInterval, 3);
    const auto sent = [this] { return count("NOOP") + count("HELP"); };
    const int before = sent();
    frame->onKeepAliveTimer();
    frame->onKeepAliveTimer();
    // Browsing sends commands, and every line sent starts the idle count again.
    frame->onRefreshClick();
    EXPECT_EQ(frame->idleTicks(), 0);
    frame->onKeepAliveTimer();
    frame->onKeepAliveTimer();
    EXPECT_EQ(sent(), before);
    frame->onKeepAliveTimer();
    // Either command may go, once.
    EXPECT_EQ(sent(), before + 1);
    EXPECT_EQ(frame->idleTicks(), 0);
    // Nothing enabled: the ticks send nothing.
    SetSetting(*frame, &TSessionSettings::keepAliveCommands, {});
    for (int i = 0; i < 4; ++i)
        frame->onKeepAliveTimer();
    EXPECT_EQ(sent(), before + 1);
    EXPECT_TRUE(frame->Connected());
}

} // namespace
