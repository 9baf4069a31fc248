// The settings dialogs in the running program, against real servers: a proxy and a SOCKS server
// made in the dialogs carry sites to an FTP server; saved options reach closed pages; a site
// whose entry was renamed is refused; quick connect; the about box; the store's login dialog.

#include "app/main_form.h"
#include "browser/browser_frame.h"
#include "data/data_module.h"
#include "data/schema/schema.h"
#include "settings/about_form.h"
#include "settings/entry_form.h"
#include "settings/options_form.h"
#include "settings/store_login_form.h"
#include "sites/quick_connect_form.h"
#include "sites/site_editor_form.h"
#include "sites/site_list_page.h"
#include "store/crypt/digest_text.h"
#include "store/session.h"
#include "store/store_file_create.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

using oxbrook::testing::FtpdPeer;

class SettingsDialogsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QDir().mkpath(path("root"));
        QDir().mkpath(path("ftpd"));
        QFile file(path("root/readme.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("hello");
    }
    void TearDown() override {
        form.reset();
        data.reset();
        UiTest::TearDown();
    }
    void startProgram() {
        data = std::make_unique<TDataModule>(folder());
        form = std::make_unique<TMainForm>(AppPaths(folder()), *data);
        form->show();
    }
    void startFtpd() {
        ftpd = std::make_unique<FtpdPeer>(path("ftpd").toStdString(), path("root").toStdString());
    }
    // Queues the site editor run for a new site; `choose` picks proxy or SOCKS (and may open the
    // options dialog through the "Option..." buttons) before the fields are filled and OK pressed.
    void queueNewSite(const QString& name, const QString& address,
                      std::function<void(TSiteEditorForm&)> choose) {
        prompt->QueueFormAction([=](QDialog& dialog) {
            auto& editor = static_cast<TSiteEditorForm&>(dialog);
            choose(editor);
            editor.nameEdit->setText(name);
            editor.addressEdit->setText(address);
            editor.userNameEdit->setText("oxuser");
            editor.passwordEdit->setText("oxpass");
            editor.timeoutSpin->setValue(5);
            editor.onOkClick();
        });
    }
    void newSite() {
        form->siteListPage()->SelectSite("NewFTPSite");
        form->siteListPage()->onListDoubleClick();
    }
    TBrowserFrame* open(const QString& name) {
        form->OpenSession(name, false);
        return form->ActiveFrame();
    }
    static QString log(TBrowserFrame* frame) { return frame->infoLines().join('\n'); }

    std::unique_ptr<FtpdPeer> ftpd;
    std::unique_ptr<TDataModule> data;
    std::unique_ptr<TMainForm> form;
};

TEST_F(SettingsDialogsTest, ProxyAndSocksMadeInTheDialogsCarrySitesToTheServer) {
    startFtpd();
    oxbrook::testing::FtpProxyPeer proxy(path("proxy").toStdString(), ftpd->port());
    oxbrook::testing::MicrosocksPeer socks(path("socks").toStdString(), "su", "sp");
    startProgram();
    const QString target = QStringLiteral("127.0.0.1:%1").arg(ftpd->port());

    // The proxy is made from the site editor's proxy "Option...": the options dialog opens on
    // "Proxy", the entry dialog adds the proxy, and the editor's list offers it at once.
    queueNewSite("viaproxy", target, [](TSiteEditorForm& editor) {
        editor.onProxyOptionClick();
        editor.proxyCombo->setCurrentText("relay");
    });
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& options = static_cast<TOptionsForm&>(dialog);
        EXPECT_EQ(options.pages->currentIndex(), TSettingsHost::ProxyPage);
        options.onProxyAddClick();
        options.onCancelClick();
    });
    const int proxyPort = proxy.port();
    prompt->QueueFormAction([proxyPort](QDialog& dialog) {
        auto& entry = static_cast<TProxyEntryForm&>(dialog);
        entry.nameEdit->setText("relay");
        entry.hostEdit->setText("127.0.0.1");
        entry.portSpin->setValue(proxyPort);
        entry.typeCombo->setCurrentText("UserSite");
        entry.onOkClick();
    });
    newSite();
    ASSERT_EQ(data->FindSite("viaproxy")->proxy, "relay");

    const int socksPort = socks.port();
    queueNewSite("viasocks", "127.0.0.1", [](TSiteEditorForm& editor) {
        editor.onSocksOptionClick();
        editor.socksCombo->setCurrentText("micro");
    });
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& options = static_cast<TOptionsForm&>(dialog);
        EXPECT_EQ(options.pages->currentIndex(), TSettingsHost::SocksPage);
        options.onSocksAddClick();
        options.onOkClick();
    });
    prompt->QueueFormAction([socksPort](QDialog& dialog) {
        auto& entry = static_cast<TSocksEntryForm&>(dialog);
        entry.nameEdit->setText("micro");
        entry.hostEdit->setText("127.0.0.1");
        entry.portSpin->setValue(socksPort);
        entry.typeCombo->setCurrentText("Socks5");
        entry.loginGroup->setChecked(true);
        entry.userEdit->setText("su");
        entry.passwordEdit->setText("sp");
        entry.onOkClick();
    });
    newSite();
    SiteRecord viaSocks = *data->FindSite("viasocks");
    viaSocks.port = ftpd->port();
    data->UpdateSite("viasocks", viaSocks);

    TBrowserFrame* proxied = open("viaproxy");
    ASSERT_TRUE(proxied->Connected()) << log(proxied).toStdString() << proxy.log();
    EXPECT_EQ(proxied->remoteRow(0).value(0), "readme.txt");
    EXPECT_TRUE(log(proxied).contains("USER oxuser@" + target)) << log(proxied).toStdString();
    TBrowserFrame* socksed = open("viasocks");
    ASSERT_TRUE(socksed->Connected()) << log(socksed).toStdString() << socks.log();
    EXPECT_EQ(socksed->remoteRow(0).value(0), "readme.txt");

    // Saved options reach every frame, the one of a closed page too.
    form->CloseCurrentPage();
    ASSERT_FALSE(form->rightPages()->isTabVisible(2));
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& options = static_cast<TOptionsForm&>(dialog);
        EXPECT_EQ(options.pages->currentIndex(), TSettingsHost::AntiIdlePage);
        options.intervalSpin->setValue(7);
        options.antiIdleGroup->setChecked(false);
        options.binaryRadio->setChecked(true);
        options.onOkClick();
    });
    form->onOptionsClick();
    for (TBrowserFrame* frame : {proxied, socksed}) {
        EXPECT_EQ(frame->settings().keepAliveInterval, 7);
        EXPECT_EQ(frame->settings().transferMode, "binary");
        EXPECT_TRUE(frame->settings().keepAliveCommands.isEmpty());
    }

    // Renaming the proxy while the site editor is open renames its choice; the site keeps the
    // old name, and its next connect is refused by name instead of going past the proxy.
    TSiteEditorForm editor(*data, form->siteListPage());
    ASSERT_TRUE(editor.LoadSite("viaproxy"));
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& options = static_cast<TOptionsForm&>(dialog);
        options.proxyList->setCurrentItem(options.proxyList->topLevelItem(0));
        options.onProxyEditClick();
        options.onOkClick();
    });
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& entry = static_cast<TProxyEntryForm&>(dialog);
        EXPECT_EQ(entry.passwordEdit->echoMode(), QLineEdit::Password);
        entry.nameEdit->setText("relay2");
        entry.onOkClick();
    });
    editor.onProxyOptionClick();
    EXPECT_EQ(editor.proxyCombo->currentText(), "relay2");
    EXPECT_EQ(data->FindSite("viaproxy")->proxy, "relay");
    form->CloseAll();
    prompt->ClearRecords();
    TBrowserFrame* refused = open("viaproxy");
    EXPECT_FALSE(refused->Connected());
    EXPECT_FALSE(refused->retryTimer()->isActive());
    ASSERT_EQ(prompt->messages().size(), 1);
    EXPECT_EQ(prompt->messages()[0].text, "The proxy relay of this site does not exist.");
}

// Stands between quick connect and the main window and tries to close the dialog while the
// page connects.
class ClosingHost : public TSessionHost {
public:
    ClosingHost(TMainForm& form) : form_(form) {}
    void OpenSession(const QString& name, bool quick) override { form_.OpenSession(name, quick); }
    void OpenQuickSession(const QuickConnectValues& values) override {
        if (QuickConnectForm) {
            QuickConnectForm->reject();
            QuickConnectForm->close();
            QuickConnectForm->onClearHistoryClick();
        }
        form_.OpenQuickSession(values);
    }
    void RenameSessionPages(const QString& o, const QString& n) override {
        form_.RenameSessionPages(o, n);
    }
    bool QueueTransfer(const rupdown& entry, bool check) override {
        return form_.QueueTransfer(entry, check);
    }
    void StartTransfers(bool refresh) override { form_.StartTransfers(refresh); }
    QString ActiveLocalPath() const override { return form_.ActiveLocalPath(); }
    bool RunTransfersNow() override { return form_.RunTransfersNow(); }
    void SetActiveLocalPath(const QString& path) override { form_.SetActiveLocalPath(path); }
    bool HasActiveSession() const override { return form_.HasActiveSession(); }
    std::vector<TRemoteEntry> ActiveRemoteSelection() const override {
        return form_.ActiveRemoteSelection();
    }

private:
    TMainForm& form_;
};

TEST_F(SettingsDialogsTest, QuickConnectReachesTheServerRemembersItAndSavesItAsASite) {
    startFtpd();
    startProgram();
    ClosingHost host(*form);
    {
        TQuickConnectForm quick(*data, host, form->siteListPage());
        quick.FormShow();
        int finished = 0;
        QObject::connect(&quick, &QDialog::finished, [&](int) { ++finished; });
        quick.serverCombo->setEditText("127.0.0.1");
        quick.portSpin->setValue(ftpd->port());
        quick.userEdit->setText("oxuser");
        quick.passwordEdit->setText("oxpass");
        EXPECT_EQ(quick.passwordEdit->echoMode(), QLineEdit::Password);
        quick.pasvCheck->setChecked(false);
        quick.onConnectClick();
        // Neither Cancel nor the close box nor the history button acted during the connect.
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(quick.result(), QDialog::Accepted);
    }
    TBrowserFrame* frame = form->ActiveFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(form->PageCaption(1), "127.0.0.1");
    ASSERT_TRUE(frame->Connected()) << log(frame).toStdString();
    EXPECT_EQ(frame->settings().siteId, 0);
    EXPECT_EQ(frame->settings().quickValues.port, ftpd->port());
    ASSERT_EQ(data->LoadQuickServers().size(), 1u);
    EXPECT_FALSE(data->LoadQuickServers()[0].pasv);

    {
        TQuickConnectForm quick(*data, host, form->siteListPage());
        quick.FormShow();
        ASSERT_EQ(quick.serverCombo->count(), 1);
        quick.serverCombo->setCurrentIndex(0);
        EXPECT_EQ(quick.portSpin->value(), ftpd->port());
        EXPECT_EQ(quick.userEdit->text(), "oxuser");
        EXPECT_EQ(quick.passwordEdit->text(), "oxpass");
        EXPECT_FALSE(quick.pasvCheck->isChecked());
        // "Save ftp site": the editor starts from these values and wants a name.
        const int port = ftpd->port();
        prompt->QueueFormAction([port](QDialog& dialog) {
            auto& editor = static_cast<TSiteEditorForm&>(dialog);
            EXPECT_EQ(editor.addressEdit->text(), "127.0.0.1");
            EXPECT_EQ(editor.portSpin->value(), port);
            EXPECT_FALSE(editor.pasvCheck->isChecked());
            EXPECT_EQ(editor.passwordEdit->echoMode(), QLineEdit::Password);
            editor.onOkClick();
            editor.nameEdit->setText("kept");
            editor.onOkClick();
        });
        quick.onSaveSiteClick();
        EXPECT_EQ(prompt->messages().value(0).text, "Please enter name.");
        EXPECT_EQ(data->FindSite("kept")->password, "oxpass");
        EXPECT_TRUE(form->siteListPage()->captions().contains("kept"));
        // The page is still shown: it comes to the front and keeps its values; the record
        // takes the values typed now.
        quick.userEdit->setText("someone");
        quick.onConnectClick();
    }
    EXPECT_EQ(form->pageCounter(), 1);
    EXPECT_EQ(frame->settings().quickValues.username, "oxuser");
    ASSERT_EQ(data->LoadQuickServers().size(), 1u);
    EXPECT_EQ(data->LoadQuickServers()[0].user, "someone");

    TQuickConnectForm quick(*data, host, form->siteListPage());
    quick.FormShow();
    quick.onClearHistoryClick();
    EXPECT_EQ(quick.serverCombo->count(), 0);
    EXPECT_TRUE(data->LoadQuickServers().empty());
}

TEST_F(SettingsDialogsTest, AboutBoxOpensItsLinksThroughTheDesktop) {
    startProgram();
    prompt->QueueFormAction([](QDialog& dialog) {
        auto& about = static_cast<TAboutForm&>(dialog);
        EXPECT_EQ(about.windowTitle(), "About");
        EXPECT_TRUE(about.historyMemo->isReadOnly());
        EXPECT_TRUE(about.historyMemo->toPlainText().startsWith("Oxbrook 1.3 ---"));
        for (int i = 0; i < 4; ++i)
            about.onLinkClick(i);
        about.accept();
    });
    form->onAboutClick();
    EXPECT_EQ(prompt->formsRun(), QStringList{"About"});
    ASSERT_EQ(desktop->urls.size(), 4);
    EXPECT_EQ(desktop->urls[0], TMainForm::HomepageUrl());
    EXPECT_EQ(desktop->urls[3], TMainForm::FeedbackUrl());
}

TEST_F(SettingsDialogsTest, StoreLoginOpensAnEncryptedStore) {
    store::TStoreFileDef def = schema::StoreDefinition(schema::StoreKind::Main);
    def.options.encrypt = true;
    def.options.encryptAlgorithm = "Blowfish";
    def.options.encryptMode = 1;
    def.options.passwordHash = store::passwordHashText("open sesame");
    store::CreateStoreFile(path("all.dat").toStdString(), def);
    InstallStoreLogin();
    struct Attempt {
        const char* typed; // nullptr: Cancel
        bool starts;
        QStringList messages;
    };
    const Attempt attempts[] = {
        {nullptr, false, {}}, {"wrong", false, {"Access denied"}}, {"open sesame", true, {}}};
    for (const Attempt& attempt : attempts) {
        prompt->ClearRecords();
        if (attempt.typed) {
            const QString typed = QString::fromLatin1(attempt.typed);
            prompt->QueueFormAction([typed, this](QDialog& dialog) {
                auto& login = static_cast<TStoreLoginForm&>(dialog);
                EXPECT_EQ(login.databaseEdit->text(), path("all.dat"));
                EXPECT_EQ(login.passwordEdit->echoMode(), QLineEdit::Password);
                login.passwordEdit->setText(typed);
                login.accept();
            });
        }
        form.reset();
        startProgram();
        EXPECT_EQ(prompt->formsRun(), QStringList{"Database Login"}) << attempt.typed;
        EXPECT_EQ(form->startFailed(), !attempt.starts) << attempt.typed;
        QStringList texts;
        for (const auto& shown : prompt->messages())
            texts << shown.text;
        EXPECT_EQ(texts, attempt.messages) << attempt.typed;
    }
    SiteRecord site;
    site.name = "secret";
    data->AppendSite(site);
    EXPECT_TRUE(data->FindSite("secret"));
    RemoveStoreLogin();
    store::TStoreSession::Default().RemoveAllPasswords();
}

} // namespace
