// The local page with a recording window: the list and its root, the bookmarks and their file,
// "Upload" and drops of remote entries.

#include "local/local_page.h"

#include "local/local_list_model.h"
#include "ui/bookmark_manager_form.h"
#include "testing/recording_session_host.h"
#include "testing/widget_test_support.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <QtEndian>
#include <csignal>
#include <sys/resource.h>

namespace {

class LocalPageTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("files/sub"));
        write(path("files/a.txt"), "aaa");
        write(path("files/b.txt"), "bbbbb");
        write(path("files/.hidden"), "h");
        page = std::make_unique<TLocalPage>(host, folder());
    }
    static void write(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList names() const {
        QStringList out;
        for (const TLocalListModel::Entry& e : page->model()->entries())
            out << e.name;
        return out;
    }
    void restart() { page = std::make_unique<TLocalPage>(host, folder()); }

    TRecordingSessionHost host;
    std::unique_ptr<TLocalPage> page;
};

TEST_F(LocalPageTest, TheListShowsFoldersFirstWithHiddenFilesAndFollowsThePage) {
    // The start is the virtual root of home, "/" and the volumes.
    EXPECT_EQ(page->root(), "-1");
    EXPECT_TRUE(names().contains(QDir::homePath()));
    EXPECT_TRUE(names().contains("/"));
    page->SetRoot(path("files"));
    EXPECT_EQ(names(), QStringList({"sub", ".hidden", "a.txt", "b.txt"}));

    page->SelectPaths({path("files/sub")});
    EXPECT_EQ(host.localPath, path("files/sub"));
    page->SelectPaths({path("files/a.txt")});
    EXPECT_EQ(host.localPath, path("files/sub"));
    // With "FTP Site" in front no page follows.
    host.session = false;
    host.localPath.clear();
    page->SelectPaths({path("files/sub")});
    EXPECT_EQ(host.localPath, "");
    host.session = true;

    page->onListDoubleClick();
    EXPECT_EQ(page->root(), path("files/sub"));
    page->onUpClick();
    EXPECT_EQ(page->root(), path("files"));
    EXPECT_EQ(host.localPath, path("files"));
    page->SetRoot(path("missing"));
    EXPECT_EQ(page->root(), "-1");

    // The view style cycles 4, 3, 2, 1 from report.
    EXPECT_EQ(page->viewStyleCode(), 3);
    page->onViewStyleClick();
    EXPECT_EQ(page->viewStyleCode(), 2);
    page->onViewStyleItem(0);
    EXPECT_EQ(page->viewStyleCode(), 0);
}

TEST_F(LocalPageTest, BookmarksComeBackAfterARestartCutOnACharacterBoundary) {
    // A folder whose path is 60 characters, the tail two bytes each.
    const QString base = path("files") + '/';
    const QString longPath = base + QString(60 - base.size(), QChar(0xE9));
    ASSERT_TRUE(QDir().mkpath(longPath));
    ASSERT_GT(longPath.toUtf8().size(), 50);
    QString expected;
    for (const QChar c : longPath) {
        if ((expected + c).toUtf8().size() > 50) break;
        expected += c;
    }

    page->onAddBookmarkClick(); // the virtual root is no folder: nothing, no file
    EXPECT_FALSE(QFileInfo::exists(path("bookmark.dat")));
    page->SetRoot(path("files"));
    page->onAddBookmarkClick();
    page->onAddBookmarkClick();
    page->SetRoot(longPath);
    page->onAddBookmarkClick();
    EXPECT_EQ(page->bookmarks(), QStringList({path("files"), longPath}));
    EXPECT_EQ(QFileInfo(path("bookmark.dat")).size(), 4 + 2 * 51);

    restart();
    EXPECT_EQ(page->bookmarks(), QStringList({path("files"), expected}));
    // Picking a bookmark makes it the root.
    page->bookmarkMenu()->actions().at(3)->trigger();
    EXPECT_EQ(page->root(), path("files"));

    // "Manage Bookmarks..." opens the manager on its "Local" page; a row deleted there is gone
    // from the menu and from the file after "&OK", and "Cancel" changes nothing.
    prompt->QueueFormAction([this, &expected](QDialog& d) {
        auto& form = static_cast<TBookmarkManagerForm&>(d);
        ASSERT_TRUE(form.localShown());
        EXPECT_EQ(form.localPaths(), QStringList({path("files"), expected}));
        form.localList()->setCurrentItem(form.localList()->topLevelItem(0));
        form.onDeleteLocalClick();
        form.onOkClick();
    });
    page->bookmarkMenu()->actions().at(1)->trigger();
    EXPECT_EQ(page->bookmarks(), QStringList({expected}));
    page->bookmarkMenu()->actions().at(1)->trigger(); // no form action: rejected
    EXPECT_EQ(page->bookmarks(), QStringList({expected}));
    restart();
    EXPECT_EQ(page->bookmarks(), QStringList({expected}));
}

TEST_F(LocalPageTest, ADamagedBookmarkFileGivesTheBookmarksItHolds) {
    struct Case {
        const char* what;
        qint32 count;
        QList<QByteArray> records;
        int tail; // bytes of a last, incomplete record
        QStringList expected;
    };
    const QByteArray tooLong = QByteArray(1, char(200)) + QByteArray(50, 'x');
    const Case cases[] = {
        {"short file", 5, {"\x03one", "\x03two"}, 20, {"one", "two"}},
        {"negative count", -2, {"\x03one"}, 0, {}},
        {"length past 50", 1, {tooLong}, 0, {QString(50, 'x')}},
        {"no count", 0, {}, -1, {}},
    };
    for (const Case& c : cases) {
        QByteArray bytes(4, '\0');
        qToLittleEndian<qint32>(c.count, bytes.data());
        if (c.tail < 0) bytes = "\x01\x02";
        for (QByteArray r : c.records) {
            r.resize(51, '\0');
            bytes += r;
        }
        if (c.tail > 0) bytes += QByteArray(c.tail, 'z');
        write(path("bookmark.dat"), bytes);
        restart();
        EXPECT_EQ(page->bookmarks(), c.expected) << c.what;
    }
}

TEST_F(LocalPageTest, AFailedBookmarkWriteKeepsTheOldFile) {
    page->SetRoot(path("files"));
    page->onAddBookmarkClick();
    page->SetRoot(path("files/sub"));
    page->onAddBookmarkClick();
    const QByteArray before = read(path("bookmark.dat"));
    ASSERT_EQ(before.size(), 4 + 2 * 51);
    // Writes past 120 bytes fail, as on a full disk.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 120;
    setrlimit(RLIMIT_FSIZE, &small);
    page->SetRoot(folder());
    page->onAddBookmarkClick();
    const bool saved = page->SaveBookmarks();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(read(path("bookmark.dat")), before);
    restart();
    EXPECT_EQ(page->bookmarks(), QStringList({path("files"), path("files/sub")}));
}

TEST_F(LocalPageTest, UploadSkipsAMissingItemAndWhatIsQueuedAlready) {
    page->SetRoot(path("files"));
    page->SelectPaths({path("files/sub"), path("files/a.txt"), path("files/b.txt")});
    QFile::remove(path("files/b.txt"));
    page->onUploadClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "Invalid path.");
    ASSERT_EQ(host.queued.size(), 2u);
    EXPECT_TRUE(host.queued[0].isFolder);
    EXPECT_EQ(host.queued[0].size, 0);
    EXPECT_EQ(host.queued[1].localPath, path("files/a.txt"));
    EXPECT_EQ(host.queued[1].remoteFolder, "0");
    EXPECT_EQ(host.queued[1].size, 3);
    page->onUploadClick();
    EXPECT_EQ(host.queued.size(), 2u);
    EXPECT_EQ(host.starts, QList<bool>({true, true}));
    // Without a browser page in front nothing happens.
    host.session = false;
    page->onUploadClick();
    EXPECT_EQ(host.starts.size(), 2);
}

TEST_F(LocalPageTest, ADropLandsInTheFolderOfTheItemDroppedOnAndOnlyUnderPlainNames) {
    page->SetRoot(path("files"));
    host.remoteSelection = {{"x.bin", false, 10, "2026-01-01 10:00:00"},
                            {"../up.bin", false, 5, "?"},
                            {"tree", true, 0, "2026-01-02 10:00:00"}};
    page->DropRemoteEntries(page->model()->RowOfPath(path("files/a.txt")));
    ASSERT_EQ(host.queued.size(), 2u);
    EXPECT_EQ(host.queued[0].localPath, path("files/x.bin"));
    EXPECT_EQ(host.queued[0].isDownload, 1);
    EXPECT_EQ(host.queued[0].remoteDate, "2026-01-01 10:00:00");
    EXPECT_EQ(host.queued[0].size, 10);
    EXPECT_FALSE(host.queued[0].verifyRemote);
    EXPECT_EQ(host.queued[1].localPath, path("files/tree"));
    EXPECT_EQ(host.runsNow, 1);
    page->DropRemoteEntries(page->model()->RowOfPath(path("files/sub")));
    EXPECT_EQ(host.queued.back().localPath, path("files/sub/tree"));
    // No folder under the drop: an error, nothing queued.
    page->SetRoot("-1");
    page->DropRemoteEntries(-1);
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "Invalid path.");
    EXPECT_EQ(host.queued.size(), 4u);
}

} // namespace
