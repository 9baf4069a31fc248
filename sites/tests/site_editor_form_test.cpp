#include "sites/site_editor_form.h"

#include "testing/memory_data_module.h"
#include "testing/widget_test_support.h"
#include "ui/help_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <climits>

namespace {

class SiteEditorFormTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TMemoryDataModule>(folder());
        data->proxies = {"corporate", "backup"};
        data->socks = {"tunnel"};
    }
    void fillValid(TSiteEditorForm& form, const QString& name) {
        form.nameEdit->setText(name);
        form.addressEdit->setText("ftp.example.test");
    }
    std::unique_ptr<TMemoryDataModule> data;
};

TEST_F(SiteEditorFormTest, NewModeOffersTheDefaults) {
    TSiteEditorForm form(*data, nullptr);
    EXPECT_EQ(form.windowTitle(), "New FTP Site");
    EXPECT_FALSE(form.editMode());
    EXPECT_EQ(SiteEditorForm, &form);
    EXPECT_EQ(form.portSpin->value(), 21);
    EXPECT_EQ(form.userNameEdit->text(), "anonymous");
    EXPECT_EQ(form.passwordEdit->text(), TSiteEditorForm::kDefaultPassword);
    EXPECT_TRUE(form.viewPasswordCheck->isChecked());
    EXPECT_EQ(form.passwordEdit->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(form.pasvCheck->isChecked());
    EXPECT_FALSE(form.autoRefreshCheck->isChecked());
    EXPECT_EQ(form.timeoutSpin->value(), 30);
    EXPECT_EQ(form.timeoutSpin->minimum(), 0);
    EXPECT_EQ(form.timeoutSpin->maximum(), 99999);
    EXPECT_EQ(form.retriesSpin->value(), 20);
    EXPECT_EQ(form.retriesSpin->minimum(), INT_MIN);
    EXPECT_EQ(form.retryDelaySpin->value(), 10);
    EXPECT_EQ(form.retryDelaySpin->minimum(), 1);
    EXPECT_EQ(form.retryDelaySpin->maximum(), 9999);
    EXPECT_EQ(form.maxcSpin->minimum(), 1);
    EXPECT_EQ(form.maxcSpin->maximum(), 10);
    ASSERT_EQ(form.proxyCombo->count(), 3);
    EXPECT_EQ(form.proxyCombo->itemText(0), "None");
    EXPECT_EQ(form.proxyCombo->itemText(2), "backup");
    EXPECT_EQ(form.socksCombo->count(), 2);
    EXPECT_EQ(form.pages->tabText(0), "Login Information");
    EXPECT_EQ(form.pages->tabText(1), "Advance Option");
}

TEST_F(SiteEditorFormTest, HiddenJobControlsFollowTheirCheckBox) {
    TSiteEditorForm form(*data, nullptr);
    form.show();
    EXPECT_FALSE(form.cncCheck->isVisible());
    EXPECT_FALSE(form.maxcSpin->isVisible());
    EXPECT_FALSE(form.maxcSpin->isEnabled());
    form.cncCheck->setChecked(true);
    form.onCncClick();
    EXPECT_TRUE(form.maxcSpin->isEnabled());
}

TEST_F(SiteEditorFormTest, GlobalReferenceLivesWithTheForm) {
    {
        TSiteEditorForm form(*data, nullptr);
        EXPECT_EQ(SiteEditorForm, &form);
    }
    EXPECT_EQ(SiteEditorForm, nullptr);
}

TEST_F(SiteEditorFormTest, ViewPasswordShowsOrMasksThePassword) {
    TSiteEditorForm form(*data, nullptr);
    form.viewPasswordCheck->setChecked(false);
    form.onViewPasswordClick();
    EXPECT_EQ(form.passwordEdit->echoMode(), QLineEdit::Password);
    form.viewPasswordCheck->setChecked(true);
    form.onViewPasswordClick();
    EXPECT_EQ(form.passwordEdit->echoMode(), QLineEdit::Normal);
}

TEST_F(SiteEditorFormTest, MissingNameOrAddressIsRefusedOnTheLoginPage) {
    TSiteEditorForm form(*data, nullptr);
    form.pages->setCurrentIndex(1);
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompt->messages()[0].text, "Please enter name.");
    EXPECT_EQ(form.pages->currentIndex(), 0);
    EXPECT_EQ(form.focusWidget(), form.nameEdit);
    EXPECT_NE(form.result(), QDialog::Accepted);

    form.nameEdit->setText("alpha");
    form.pages->setCurrentIndex(1);
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 2);
    EXPECT_EQ(prompt->messages()[1].text, "Please enter the address of the FTP site.");
    EXPECT_EQ(form.pages->currentIndex(), 0);
    EXPECT_EQ(form.focusWidget(), form.addressEdit);
    EXPECT_TRUE(data->sites.empty());
}

TEST_F(SiteEditorFormTest, NewSiteIsStoredWithEveryField) {
    TSiteEditorForm form(*data, nullptr);
    fillValid(form, "alpha");
    form.portSpin->setValue(2121);
    form.userNameEdit->setText("joe");
    form.passwordEdit->setText("secret");
    form.viewPasswordCheck->setChecked(false);
    form.commentEdit->setPlainText("line one\nline two");
    form.localPathEdit->setText("/home/joe/down");
    form.ftpPathEdit->setText("");
    form.proxyCombo->setCurrentIndex(2);
    form.socksCombo->setCurrentIndex(1);
    form.pasvCheck->setChecked(false);
    form.autoRefreshCheck->setChecked(true);
    form.timeoutSpin->setValue(45);
    form.retriesSpin->setValue(3);
    form.retryDelaySpin->setValue(7);
    const QString before = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss");
    form.onOkClick();
    const QString after = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(prompt->messages().isEmpty());
    ASSERT_EQ(data->sites.size(), 1u);
    const SiteRecord& s = data->sites[0];
    EXPECT_EQ(s.name, "alpha");
    EXPECT_EQ(s.address, "ftp.example.test");
    EXPECT_EQ(s.port, 2121);
    EXPECT_EQ(s.username, "joe");
    EXPECT_EQ(s.password, "secret");
    EXPECT_FALSE(s.vp);
    EXPECT_EQ(s.comment, "line one\nline two");
    EXPECT_EQ(s.localpath, "/home/joe/down");
    EXPECT_EQ(s.defaultpath, "");
    EXPECT_EQ(s.proxy, "backup");
    EXPECT_EQ(s.socks, "tunnel");
    EXPECT_FALSE(s.pasv);
    EXPECT_TRUE(s.autorefresh);
    EXPECT_EQ(s.timeout, 45);
    EXPECT_EQ(s.nor, 3);
    EXPECT_EQ(s.rd, 7);
    EXPECT_FALSE(s.cnc);
    EXPECT_EQ(s.maxc, 1);
    EXPECT_GE(s.cdate, before);
    EXPECT_LE(s.cdate, after);
    EXPECT_EQ(s.zdate, s.cdate);
}

TEST_F(SiteEditorFormTest, NewSiteUnderATakenNameIsRefused) {
    data->addSite("alpha", "one.test");
    TSiteEditorForm form(*data, nullptr);
    fillValid(form, "alpha");
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "The name alpha was existed, please re-enter.");
    EXPECT_EQ(form.focusWidget(), form.nameEdit);
    EXPECT_EQ(data->sites.size(), 1u);
}

TEST_F(SiteEditorFormTest, EditModeLoadsTheRecordAndChoosesItsProxy) {
    SiteRecord& site = data->addSite("alpha", "one.test");
    site.proxy = "backup";
    site.socks = "vanished";
    site.vp = false;
    site.cnc = true;
    site.maxc = 4;
    site.comment = "note";
    TSiteEditorForm form(*data, nullptr);
    ASSERT_TRUE(form.LoadSite("alpha"));
    EXPECT_TRUE(form.editMode());
    EXPECT_EQ(form.windowTitle(), "Edit FTP Site");
    EXPECT_EQ(form.formerName(), "alpha");
    EXPECT_EQ(form.addressEdit->text(), "one.test");
    EXPECT_EQ(form.proxyCombo->currentText(), "backup");
    EXPECT_EQ(form.socksCombo->currentText(), "None");
    EXPECT_EQ(form.passwordEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.commentEdit->toPlainText(), "note");
    EXPECT_TRUE(form.maxcSpin->isEnabled());
    EXPECT_EQ(form.maxcSpin->value(), 4);
    EXPECT_FALSE(form.LoadSite("missing"));
}

TEST_F(SiteEditorFormTest, EditModeSavesUnderTheSameNameAndRefusesAnotherSitesName) {
    data->addSite("alpha", "one.test");
    data->addSite("beta", "two.test");
    TSiteEditorForm form(*data, nullptr);
    ASSERT_TRUE(form.LoadSite("alpha"));
    form.nameEdit->setText("beta");
    form.onOkClick();
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "The name beta was existed, please re-enter.");
    EXPECT_NE(form.result(), QDialog::Accepted);

    form.nameEdit->setText("alpha");
    form.addressEdit->setText("new.test");
    form.onOkClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(data->sites[0].address, "new.test");
    // Saving from the editor sets the creation date to the time of saving too.
    EXPECT_NE(data->sites[0].cdate, "2026-01-02 03:04:05");
    EXPECT_EQ(data->sites[0].cdate, data->sites[0].zdate);
    EXPECT_EQ(data->sites[0].id, 1);
}

TEST_F(SiteEditorFormTest, BrowseStartsInTheTypedFolderAndTakesTheChoice) {
    TSiteEditorForm form(*data, nullptr);
    prompt->QueuePath("/srv/chosen");
    form.onBrowseClick();
    EXPECT_EQ(form.localPathEdit->text(), "/srv/chosen");
    form.localPathEdit->setText("/home/typed");
    form.onBrowseClick();
    EXPECT_EQ(form.localPathEdit->text(), "/home/typed");
    EXPECT_EQ(prompt->folderStarts(), QStringList({"", "/home/typed"}));
}

TEST_F(SiteEditorFormTest, HelpShowsTheOverviewTopic) {
    TSiteEditorForm form(*data, nullptr);
    form.onHelpClick();
    ASSERT_NE(Desktop().helpForm(), nullptr);
    EXPECT_EQ(Desktop().helpForm()->currentTopic(), "Overview");
}

TEST_F(SiteEditorFormTest, EntriesAddedWhileOpenJoinTheLists) {
    TSiteEditorForm form(*data, nullptr);
    form.AddProxyName("late");
    form.AddSocksName("later");
    EXPECT_EQ(form.proxyCombo->itemText(3), "late");
    EXPECT_EQ(form.socksCombo->itemText(2), "later");
}

} // namespace

namespace {

// The security choices live in their own table by site id: saved with a new site, shown again
// when it is edited, and implicit TLS brings its own port.
TEST_F(SiteEditorFormTest, SecurityChoicesAreSavedBySiteIdAndShownAgain) {
    {
        TSiteEditorForm form(*data, nullptr);
        fillValid(form, "secure");
        EXPECT_EQ(form.encryptionCombo->currentText(), "None");
        EXPECT_TRUE(form.verifyCheck->isChecked());
        EXPECT_FALSE(form.keepTimeCheck->isChecked());
        form.encryptionCombo->setCurrentIndex(3);
        EXPECT_EQ(form.encryptionCombo->currentText(), "Implicit TLS");
        EXPECT_EQ(form.portSpin->value(), 990);
        form.encryptionCombo->setCurrentIndex(2);
        EXPECT_EQ(form.portSpin->value(), 21);
        form.keepTimeCheck->setChecked(true);
        form.verifyCheck->setChecked(false);
        form.okButton->click();
    }
    const int id = data->FindSite("secure")->id;
    const SiteSecurityRecord stored = data->ReadSiteSecurity(id);
    EXPECT_EQ(stored.encryption, 2);
    EXPECT_TRUE(stored.keeptime);
    EXPECT_FALSE(stored.verify);

    TSiteEditorForm form(*data, nullptr);
    ASSERT_TRUE(form.LoadSite("secure"));
    EXPECT_EQ(form.encryptionCombo->currentText(), "Explicit TLS");
    EXPECT_TRUE(form.keepTimeCheck->isChecked());
    EXPECT_FALSE(form.verifyCheck->isChecked());
    EXPECT_EQ(form.portSpin->value(), 21);
}

} // namespace
