#include "ui/help_form.h"

#include "testing/widget_test_support.h"

#include <QScrollBar>
#include <QTextBrowser>

namespace {

class HelpFormTest : public UiTest {};

// Every help button of the program names one of these topics.
const char* const kTopics[] = {"Newitem",  "Newitem20", "item23",    "item25",
                               "Overview", "newitem22", "newitem12", "Newitem6"};

TEST_F(HelpFormTest, TheBookHasAnAnchorForEveryTopic) {
    ASSERT_TRUE(QFile::exists(path("Oxbrook.html"))) << "OXBROOK_SOURCE_DIR not set";
    THelpForm help(path("Oxbrook.html"));
    for (const char* topic : kTopics)
        EXPECT_TRUE(help.HasTopic(QString::fromLatin1(topic))) << topic;
    EXPECT_FALSE(help.HasTopic("nosuchtopic"));
}

TEST_F(HelpFormTest, ShowsATopicByIdAndTheContentsAtTheTop) {
    THelpForm help(path("Oxbrook.html"));
    help.resize(400, 200);
    help.show();
    EXPECT_TRUE(help.ShowTopic("newitem12"));
    EXPECT_EQ(help.currentTopic(), "newitem12");
    EXPECT_GT(help.browser()->verticalScrollBar()->value(), 0);
    help.ShowContents();
    EXPECT_EQ(help.currentTopic(), "");
    EXPECT_EQ(help.browser()->verticalScrollBar()->value(), 0);
}

TEST_F(HelpFormTest, AnUnknownTopicShowsTheContents) {
    THelpForm help(path("Oxbrook.html"));
    EXPECT_FALSE(help.ShowTopic("nosuchtopic"));
    EXPECT_EQ(help.currentTopic(), "");
}

TEST_F(HelpFormTest, AMissingBookSaysSo) {
    THelpForm help(path("missing.html"));
    EXPECT_TRUE(help.browser()->toPlainText().contains("missing.html"));
}

TEST_F(HelpFormTest, TheDesktopServiceOpensTheBookBesideTheProgram) {
    EXPECT_EQ(Desktop().HelpFile(), path("Oxbrook.html"));
    Desktop().ShowHelp("item23");
    ASSERT_NE(Desktop().helpForm(), nullptr);
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "item23");
    Desktop().ShowHelp();
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "");
}

} // namespace
