// The "Proxy" and "Socks" pages with their entry dialogs: every warning with the focus on its
// field, the store written at once, and the open site editor's choice lists kept in step.

#include "data/data_module.h"
#include "settings/entry_form.h"
#include "settings/options_form.h"
#include "sites/site_editor_form.h"
#include "testing/widget_test_support.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

class EntryFormTest : public StoreUiTest {
protected:
    void SetUp() override {
        StoreUiTest::SetUp();
        data->AppendProxy({"gate", "gate.lan", "", "", "Site", 2100, false, 2});
        editor = std::make_unique<TSiteEditorForm>(*data, nullptr);
        options = std::make_unique<TOptionsForm>(*data, nullptr);
        options->LoadSettings();
    }
    void TearDown() override {
        options.reset();
        editor.reset();
        StoreUiTest::TearDown();
    }
    static QStringList items(const QComboBox* combo) {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    QStringList warnings() const {
        QStringList out;
        for (const auto& shown : prompt->messages())
            if (shown.kind == PromptKind::Warning) out << shown.text;
        return out;
    }
    // Queues one run of the entry dialog: `fill` sets its fields, then OK is pressed.
    template <class Form> void queueOk(std::function<void(Form&)> fill) {
        prompt->QueueFormAction([fill](QDialog& dialog) {
            auto& form = static_cast<Form&>(dialog);
            fill(form);
            form.onOkClick();
        });
    }

    std::unique_ptr<TSiteEditorForm> editor;
    std::unique_ptr<TOptionsForm> options;
};

TEST_F(EntryFormTest, ProxyEntriesAreWrittenAtOnceAndFollowedByTheSiteEditor) {
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& form = static_cast<TProxyEntryForm&>(dialog);
        EXPECT_EQ(form.windowTitle(), "Add Proxy");
        EXPECT_FALSE(form.editMode());
        EXPECT_EQ(form.typeCombo->currentIndex(), -1);
        EXPECT_FALSE(form.userEdit->isEnabled());
        EXPECT_EQ(form.passwordEdit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(form.portSpin->minimum(), 1);
        EXPECT_EQ(form.portSpin->maximum(), 65535);
        form.onOkClick();
        EXPECT_EQ(form.focusWidget(), form.nameEdit);
        form.nameEdit->setText("office");
        form.onOkClick();
        EXPECT_EQ(form.focusWidget(), form.hostEdit);
        form.hostEdit->setText("proxy.lan");
        form.loginGroup->setChecked(true);
        EXPECT_TRUE(form.userEdit->isEnabled());
        form.userEdit->setText("pu");
        form.passwordEdit->setText("pp");
        form.onOkClick();
    });
    options->onProxyAddClick();
    const std::optional<ProxyRecord> office = data->FindProxy("office");
    ASSERT_TRUE(office);
    // No type chosen: -1 and an empty name, and an empty "Type" cell.
    EXPECT_EQ(office->type, -1);
    EXPECT_EQ(office->typeName, "");
    EXPECT_TRUE(office->login);
    EXPECT_EQ(office->password, "pp");
    EXPECT_EQ(TOptionsForm::rowTexts(options->proxyList),
              QStringList({"gate|gate.lan|Site", "office|proxy.lan|"}));
    EXPECT_EQ(items(editor->proxyCombo), QStringList({"None", "gate", "office"}));

    // A name that differs only in letter case is another name; the same name is refused.
    queueOk<TProxyEntryForm>([](TProxyEntryForm& f) {
        f.nameEdit->setText("Office");
        f.hostEdit->setText("other.lan");
    });
    options->onProxyAddClick();
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& f = static_cast<TProxyEntryForm&>(dialog);
        f.nameEdit->setText("gate");
        f.hostEdit->setText("x");
        f.onOkClick();
        EXPECT_EQ(f.focusWidget(), f.nameEdit);
        f.onCancelClick();
    });
    options->onProxyAddClick();
    EXPECT_EQ(data->ProxyNames(), QStringList({"gate", "office", "Office"}));

    // Editing: the form opens on the stored record; renaming onto another entry is refused,
    // renaming to a free name renames the record, the row and the editor's choice.
    options->proxyList->setCurrentItem(options->proxyList->topLevelItem(0));
    queueOk<TProxyEntryForm>([](TProxyEntryForm& f) {
        EXPECT_EQ(f.windowTitle(), "Edit Proxy");
        EXPECT_EQ(f.formerName(), "gate");
        EXPECT_EQ(f.typeCombo->currentText(), "Site");
        EXPECT_EQ(f.portSpin->value(), 2100);
        f.onOkClick(); // unchanged name: no duplicate warning
        EXPECT_EQ(f.result(), QDialog::Accepted);
        f.setResult(QDialog::Rejected);
        f.nameEdit->setText("office");
        f.onOkClick();
        EXPECT_EQ(f.result(), QDialog::Rejected);
        f.nameEdit->setText("portal");
        f.typeCombo->setCurrentIndex(4);
    });
    options->onProxyEditClick();
    EXPECT_EQ(warnings(),
              QStringList({"Please enter the name.", "Please enter the address of proxy.",
                           "The name gate was existed, please re-enter.",
                           "The name office was existed, please re-enter."}));
    EXPECT_FALSE(data->FindProxy("gate"));
    EXPECT_EQ(data->FindProxy("portal")->typeName, "UserPass");
    EXPECT_EQ(data->FindProxy("portal")->type, 4);
    EXPECT_EQ(options->proxyList->topLevelItem(0)->text(0), "portal");
    EXPECT_EQ(items(editor->proxyCombo), QStringList({"None", "portal", "office", "Office"}));

    // Removing asks nothing and is not undone by Cancel.
    options->proxyList->setCurrentItem(options->proxyList->topLevelItem(1));
    options->onProxyRemoveClick();
    options->onCancelClick();
    EXPECT_EQ(data->ProxyNames(), QStringList({"portal", "Office"}));
    EXPECT_EQ(items(editor->proxyCombo), QStringList({"None", "portal", "Office"}));
}

TEST_F(EntryFormTest, SocksEntriesTakeCredentialsAndShareNoNamesWithProxies) {
    queueOk<TSocksEntryForm>([](TSocksEntryForm& f) {
        EXPECT_EQ(f.typeCombo->currentText(), "NoSocks");
        EXPECT_EQ(f.portSpin->value(), 1080);
        f.nameEdit->setText("gate");
        f.onOkClick();
        EXPECT_EQ(f.focusWidget(), f.hostEdit);
        f.hostEdit->setText("127.0.0.1");
        f.typeCombo->setCurrentIndex(3);
        // The "Login" box enables the credentials here too.
        f.loginGroup->setChecked(true);
        EXPECT_TRUE(f.passwordEdit->isEnabled());
        EXPECT_EQ(f.passwordEdit->echoMode(), QLineEdit::Password);
        f.userEdit->setText("su");
        f.passwordEdit->setText("sp");
        f.portSpin->setValue(0);
        EXPECT_EQ(f.portSpin->value(), 1);
        f.portSpin->setValue(70000);
    });
    options->onSocksAddClick();
    EXPECT_EQ(warnings(), QStringList{"Please enter the host."});
    const std::optional<SocksRecord> socks = data->FindSocks("gate");
    ASSERT_TRUE(socks);
    EXPECT_EQ(socks->port, 65535);
    EXPECT_EQ(socks->sv, 3);
    EXPECT_EQ(socks->svname, "Socks5");
    EXPECT_TRUE(socks->login);
    EXPECT_EQ(socks->user, "su");
    EXPECT_EQ(socks->pass, "sp");
    EXPECT_EQ(TOptionsForm::rowTexts(options->socksList), QStringList{"gate|127.0.0.1|Socks5"});
    EXPECT_EQ(items(editor->socksCombo), QStringList({"None", "gate"}));

    options->socksList->setCurrentItem(options->socksList->topLevelItem(0));
    queueOk<TSocksEntryForm>([](TSocksEntryForm& f) {
        EXPECT_TRUE(f.userEdit->isEnabled());
        EXPECT_EQ(f.passwordEdit->text(), "sp");
        f.nameEdit->setText("relay");
    });
    options->onSocksEditClick();
    EXPECT_EQ(data->SocksNames(), QStringList{"relay"});
    EXPECT_EQ(items(editor->socksCombo), QStringList({"None", "relay"}));
    // The proxy of the same former name is untouched.
    EXPECT_TRUE(data->FindProxy("gate"));
}

} // namespace
