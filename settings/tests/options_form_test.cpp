// The options dialog against a real store: what it loads and in which form, the add rules of its
// ticked lists, what OK writes back, and the ticks that are written at once and outlive Cancel.

#include "data/data_module.h"
#include "settings/options_form.h"
#include "testing/widget_test_support.h"
#include "ui/settings_host.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <climits>
#include <filesystem>

namespace {

class CountingHost : public TSettingsHost {
public:
    void ShowOptions(int page) override { shown << page; }
    void ReloadAllOptions() override { ++reloads; }
    QList<int> shown;
    int reloads = 0;
};

class OptionsFormTest : public StoreUiTest {
protected:
    void SetUp() override { StoreUiTest::SetUp(); }
    std::unique_ptr<TOptionsForm> openForm() {
        auto form = std::make_unique<TOptionsForm>(*data, &host);
        form->LoadSettings();
        return form;
    }
    std::vector<CheckedItem> commands() { return data->LoadCheckedList(CheckedList::AntiIdle); }

    CountingHost host;
};

TEST_F(OptionsFormTest, LoadsTheTablesAndWritesThemBackOnOk) {
    // The store files are the user's alone: they hold passwords as typed.
    for (const char* file : {"all.dat", "FTPBookmark.dat"})
        EXPECT_EQ(std::filesystem::status(path(file).toStdString()).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << file;
    OptionsRecord stored = data->ReadOptions();
    stored.transfermode = "ASCII"; // not a code: letter case counts
    stored.transferc = "disconnect";
    stored.interval = 45;
    stored.eanti = false;
    data->WriteOptions(stored);
    data->SaveEditors({{".htm", "/usr/bin/vi"}});
    data->AppendProxy({"office", "proxy.lan", "", "", "UserSite", 2121, false, 1});
    data->AppendSocks({"tunnel", "socks.lan", "", "", "Socks5", 1080, false, 3});

    auto form = openForm();
    // The lists show exactly the table contents, none of the design-time items.
    EXPECT_EQ(TOptionsForm::itemTexts(form->commandList), QStringList({"+NOOP", "+PWD"}));
    EXPECT_EQ(form->extList->count(), 13);
    EXPECT_EQ(TOptionsForm::rowTexts(form->proxyList), QStringList{"office|proxy.lan|UserSite"});
    EXPECT_EQ(TOptionsForm::rowTexts(form->socksList), QStringList{"tunnel|socks.lan|Socks5"});
    EXPECT_EQ(TOptionsForm::rowTexts(form->editorList), QStringList{".htm|/usr/bin/vi"});
    EXPECT_TRUE(form->autoRadio->isChecked());
    EXPECT_TRUE(form->disconnectRadio->isChecked());
    EXPECT_FALSE(form->antiIdleGroup->isChecked());
    EXPECT_EQ(form->intervalSpin->value(), 45);
    EXPECT_EQ(form->tempEdit->text(), stored.temppath);

    // The add rules: a duplicate in any letter case selects the item; blanks alone add nothing;
    // a new command goes in upper case, ticked, keeping the blanks typed around it.
    prompt->QueueInput("pwd");
    form->onAddCommandClick();
    EXPECT_EQ(form->commandList->currentRow(), 1);
    prompt->QueueInput("   ");
    form->onAddCommandClick();
    prompt->QueueInput("stat", false);
    form->onAddCommandClick();
    prompt->QueueInput(" site idle ");
    form->onAddCommandClick();
    EXPECT_EQ(TOptionsForm::itemTexts(form->commandList),
              QStringList({"+NOOP", "+PWD", "+ SITE IDLE "}));
    prompt->QueueInput(" txt");
    form->onAddExtClick();
    EXPECT_EQ(form->extList->item(13)->text(), " TXT");

    form->extensionEdit->setText(".php");
    form->onEditorAddClick(); // no editor yet: nothing
    form->editorEdit->setText("/usr/bin/nano");
    form->onEditorAddClick();
    EXPECT_TRUE(form->extensionEdit->text().isEmpty());
    EXPECT_EQ(form->editorEdit->text(), "/usr/bin/nano");

    form->binaryRadio->setChecked(true);
    form->antiIdleGroup->setChecked(true);
    form->clearCheck->setChecked(false);
    prompt->QueuePath(path("elsewhere"));
    form->onTempBrowseClick();
    form->onOkClick();

    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(host.reloads, 1);
    EXPECT_EQ(data->LoadEditors(),
              (std::vector<EditorPair>{{".htm", "/usr/bin/vi"}, {".php", "/usr/bin/nano"}}));
    EXPECT_EQ(commands(),
              (std::vector<CheckedItem>{{"NOOP", true}, {"PWD", true}, {" SITE IDLE ", true}}));
    EXPECT_EQ(data->LoadCheckedList(CheckedList::AsciiExt).back(), (CheckedItem{" TXT", true}));
    const OptionsRecord saved = data->ReadOptions();
    EXPECT_EQ(saved.transfermode, "binary");
    EXPECT_EQ(saved.transferc, "disconnect");
    EXPECT_TRUE(saved.eanti);
    EXPECT_FALSE(saved.ifclear);
    EXPECT_EQ(saved.interval, 45);
    EXPECT_EQ(saved.temppath, path("elsewhere"));
}

TEST_F(OptionsFormTest, BufferSizesOutsideTheirBoundsAreReadAsTheNearestBound) {
    struct Case {
        int stored, read;
    };
    const Case cases[] = {{0, 512},     {-5, 512},          {INT_MIN, 512},     {511, 512},
                          {4096, 4096}, {1048576, 1048576}, {1048577, 1048576}, {INT_MAX, 1048576}};
    for (const Case& c : cases) {
        OptionsRecord options = data->ReadOptions();
        options.recvb = options.sendb = c.stored;
        data->WriteOptions(options);
        EXPECT_EQ(data->ReadOptions().recvb, c.read) << c.stored;
        auto form = openForm();
        EXPECT_EQ(form->sendSpin->value(), c.read) << c.stored;
    }
    auto form = openForm();
    form->recvSpin->setValue(100);
    form->sendSpin->setValue(INT_MAX);
    EXPECT_EQ(form->recvSpin->value(), kMinBufferSize);
    EXPECT_EQ(form->sendSpin->value(), kMaxBufferSize);
}

TEST_F(OptionsFormTest, TicksAreWrittenAtOnceAndOutliveCancel) {
    auto form = openForm();
    form->commandList->item(1)->setCheckState(Qt::Unchecked);
    form->extList->item(0)->setCheckState(Qt::Unchecked);
    form->commandList->setCurrentRow(0);
    form->onDeleteCommandClick();
    prompt->QueueInput("stat");
    form->onAddCommandClick();
    form->commandList->item(1)->setCheckState(Qt::Unchecked); // new: no record until OK
    form->onCancelClick();
    EXPECT_EQ(host.reloads, 0);
    // The untick stays; the removal and the addition do not.
    EXPECT_EQ(commands(), (std::vector<CheckedItem>{{"NOOP", true}, {"PWD", false}}));
    EXPECT_FALSE(data->LoadCheckedList(CheckedList::AsciiExt).front().tf);

    // OK with an empty list leaves the table without records.
    form = openForm();
    while (form->commandList->count()) {
        form->commandList->setCurrentRow(0);
        form->onDeleteCommandClick();
    }
    form->onOkClick();
    EXPECT_TRUE(commands().empty());
}

TEST_F(OptionsFormTest, EachPageHasItsHelpTopic) {
    auto form = openForm();
    const char* const topics[] = {"item29", "item30", "item31", "item32", "", ""};
    for (int page = 0; page < 6; ++page) {
        form->pages->setCurrentIndex(page);
        EXPECT_EQ(form->helpTopic(), QString::fromLatin1(topics[page])) << page;
    }
}

} // namespace
