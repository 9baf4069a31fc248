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
