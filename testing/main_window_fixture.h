#pragma once
// The main window against a real FTP server (pyftpdlib on the test's folder "root"), with one
// site "mirror" on it: for scenarios that go through the pages and their session host.

#include "app/main_form.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <memory>

class MainWindowServerTest : public UiTest {
protected:
    // Starts the server and the window and stores the site; `adjust` may change the site first.
    void StartWindow(const std::function<void(SiteRecord&)>& adjust = {}) {
        for (const char* dir : {"root", "ftpd"})
            QDir().mkpath(path(dir));
        server = std::make_unique<oxbrook::testing::FtpdPeer>(path("ftpd").toStdString(),
                                                              path("root").toStdString());
        data = std::make_unique<TDataModule>(folder());
        form = std::make_unique<TMainForm>(AppPaths(folder()), *data);
        form->show();
        ASSERT_FALSE(form->startFailed());
        SiteRecord site;
        site.name = "mirror";
        site.address = "127.0.0.1";
        site.port = server->port();
        site.username = "oxuser";
        site.password = "oxpass";
        site.timeout = 5;
        if (adjust) adjust(site);
        data->AppendSite(site);
    }
    void TearDown() override {
        if (form) form->close();
        form.reset();
        data.reset();
        server.reset();
        UiTest::TearDown();
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

    std::unique_ptr<oxbrook::testing::FtpdPeer> server;
    std::unique_ptr<TDataModule> data;
    std::unique_ptr<TMainForm> form;
};
