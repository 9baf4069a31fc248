#pragma once
// The fixture of the transfer tests: a program folder with a real store, a browser frame with
// its transfer queue, and a real FTP server on 127.0.0.1 serving the folder "root".

#include "browser/browser_frame.h"
#include "browser/tests/frame_settings.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "ftp/ftp.h"
#include "testing/test_peer.h"
#include "testing/widget_test_support.h"

#include <QFile>
#include <QListWidget>
#include <QTreeWidget>
#include <random>

class TransferTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        data = std::make_unique<TDataModule>(folder());
        data->CreateMissingStores();
        data->Connect();
        QDir().mkpath(path("root"));
        QDir().mkpath(path("peer"));
        QDir().mkpath(path("local"));
        frame = std::make_unique<TBrowserFrame>(1, *data);
        queue = &frame->transferQueue();
    }
    void TearDown() override {
        frame.reset();
        server.reset();
        data.reset();
        UiTest::TearDown();
    }
    // Starts the server and connects the frame to it, passive or active.
    void connectFrame(bool passive = true) {
        server = std::make_unique<oxbrook::testing::FtpdPeer>(path("peer").toStdString(),
                                                              path("root").toStdString());
        connectTo(server->port(), passive);
    }
    void connectTo(int port, bool passive) {
        SiteRecord site;
        site.name = "local";
        site.address = "127.0.0.1";
        site.port = port;
        site.username = "oxuser";
        site.password = "oxpass";
        site.pasv = passive;
        site.timeout = 10;
        data->AppendSite(site);
        SetSetting(*frame, &TSessionSettings::siteName, "local");
        frame->ConnectSite(false);
        ASSERT_TRUE(frame->Connected());
        SetSetting(*frame, &TSessionSettings::transferMode, "binary");
    }
    // Writes `size` pseudo-random bytes (seeded by the name) to `name` below the test folder.
    QByteArray writeFile(const QString& name, qint64 size) {
        QByteArray bytes(size, '\0');
        std::mt19937 random(static_cast<unsigned>(qHash(name)));
        for (char& c : bytes)
            c = static_cast<char>(random());
        writeBytes(name, bytes);
        return bytes;
    }
    void writeBytes(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile(const QString& name) {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) return "<missing>";
        return file.readAll();
    }
    rupdown download(const QString& name, qint64 size, bool isFolder = false,
                     const QString& localFolder = "local") {
        rupdown r;
        r.isDownload = 1;
        r.localPath = path(localFolder + "/" + name);
        r.remoteFolder = "0";
        r.size = size;
        r.name = name;
        r.isFolder = isFolder;
        r.remoteDate = "?";
        return r;
    }
    rupdown upload(const QString& localName, bool isFolder = false) {
        rupdown r;
        r.isDownload = 0;
        r.localPath = path("local/" + localName);
        r.remoteFolder = "0";
        r.size = isFolder ? 0 : QFileInfo(r.localPath).size();
        r.name = QFileInfo(r.localPath).fileName();
        r.isFolder = isFolder;
        r.remoteDate = "?";
        return r;
    }
    bool infoHas(const QString& part) const {
        for (const QString& line : frame->infoLines())
            if (line.contains(part)) return true;
        return false;
    }
    // Queues a form action that presses one of the duplicate dialog's buttons.
    template <typename Form, typename Handler> void answer(Handler handler) {
        prompt->QueueFormAction(
            [handler](QDialog& form) { (dynamic_cast<Form&>(form).*handler)(); });
    }

    std::unique_ptr<TDataModule> data;
    std::unique_ptr<TBrowserFrame> frame;
    std::unique_ptr<oxbrook::testing::FtpdPeer> server;
    TTransferQueue* queue = nullptr;
};
