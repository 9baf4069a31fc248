#include "ui/desktop_service.h"

#include "testing/widget_test_support.h"

namespace {

using DesktopServiceTest = UiTest;

TEST_F(DesktopServiceTest, TypeNamesAreAskedByNameAloneAndAgreePerExtension) {
    const QString text = Desktop().TypeName("notes.txt");
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(Desktop().TypeName("/no/such/folder/other.TXT"), text);
    EXPECT_NE(Desktop().TypeName("picture.png"), text);
    EXPECT_FALSE(Desktop().FileIcon("archive.zip").isNull());
    EXPECT_FALSE(Desktop().FolderIcon().isNull());
}

TEST_F(DesktopServiceTest, ClipboardHoldsPlainText) {
    Desktop().SetClipboardText("ftp://user:pw@host/dir/file.txt");
    EXPECT_EQ(Desktop().ClipboardText(), "ftp://user:pw@host/dir/file.txt");
}

TEST_F(DesktopServiceTest, RecordingDoubleKeepsWhatWouldLeaveTheProcess) {
    desktop->result = false;
    EXPECT_FALSE(Desktop().OpenUrl(QUrl("https://example.com/")));
    EXPECT_FALSE(Desktop().OpenFile("/tmp/a.txt"));
    EXPECT_FALSE(Desktop().StartProgram("/usr/bin/editor", "/tmp/a b.txt"));
    ASSERT_EQ(desktop->urls.size(), 1);
    EXPECT_EQ(desktop->urls[0].toString(), "https://example.com/");
    EXPECT_EQ(desktop->files, QStringList({"/tmp/a.txt"}));
    EXPECT_EQ(desktop->programs, QStringList({"/usr/bin/editor /tmp/a b.txt"}));
}

} // namespace

namespace {

// The help book of a build lies beside the program; an installed one lies in share/oxbrook/ of
// the prefix, or in a data folder of the desktop.
TEST_F(DesktopServiceTest, TheHelpBookIsFoundBesideTheProgramOrWhereItWasInstalled) {
    const EnvironmentOverride dirs("XDG_DATA_DIRS", path("desktop-data"));
    const EnvironmentOverride home("XDG_DATA_HOME", path("home"));
    auto book = [this](const QString& name) {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<a name=\"top\"></a>");
        return path(name);
    };
    const QString bin = path("prefix/bin");
    QDir().mkpath(bin);
    EXPECT_EQ(TDesktopService(bin).HelpFile(), bin + "/Oxbrook.html") << "none: named beside";
    const QString desktopData = book("desktop-data/oxbrook/Oxbrook.html");
    EXPECT_EQ(TDesktopService(bin).HelpFile(), desktopData);
    const QString installed = book("prefix/share/oxbrook/Oxbrook.html");
    EXPECT_EQ(TDesktopService(bin).HelpFile(), installed);
    const QString beside = book("prefix/bin/Oxbrook.html");
    EXPECT_EQ(TDesktopService(bin).HelpFile(), beside);
}

} // namespace
