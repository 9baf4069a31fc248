// Setting up a browser frame's session: reading the stored site and options into the frame and
// its engine, connecting, retrying, keeping the connection alive and ending it.

#include "browser/browser_frame.h"

#include "data/data_module.h"
#include "ftp/ftp.h"
#include "ftp/socket/tls_io_handler.h"
#include "ui/prompt_service.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QRandomGenerator>
#include <QTimer>
#include <QTreeView>
#include <cmath>

namespace {

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

bool proxyTypeOf(const QString& name, TNetFtpProxyType& type) {
    static const std::pair<const char*, TNetFtpProxyType> types[] = {
        {"None", fpcmNone},
        {"UserSite", fpcmUserSite},
        {"Site", fpcmSite},
        {"Open", fpcmOpen},
        {"UserPass", fpcmUserPass},
        {"Transparent", fpcmTransparent},
        {"HttpProxyWithFtp", fpcmHttpProxyWithFtp}};
    for (auto [text, value] : types) {
        if (name == QLatin1String(text)) {
            type = value;
            return true;
        }
    }
    return false;
}

bool socksVersionOf(const QString& name, TSocksVersion& version) {
    static const std::pair<const char*, TSocksVersion> versions[] = {
        {"NoSocks", svNoSocks}, {"Socks4", svSocks4}, {"Socks4A", svSocks4A}, {"Socks5", svSocks5}};
    for (auto [text, value] : versions) {
        if (name == QLatin1String(text)) {
            version = value;
            return true;
        }
    }
    return false;
}

} // namespace

bool TBrowserFrame::LoadSessionSettings(bool quick) {
    if (quick) {
        ftp_->Host = utf8(quickValues.host);
        ftp_->Port = quickValues.port;
        ftp_->Username = utf8(quickValues.username);
        ftp_->Password = utf8(quickValues.password);
        ftp_->Passive = quickValues.passive;
        autoRefresh = false;
        connectTimeoutMs = 30000;
        ftp_->ReadTimeout = 30000;
        retryLimit = 20;
        retryDelayMs = 10000;
    } else {
        const std::optional<SiteRecord> site = dataModule_.TouchSite(siteName);
        if (!site) return false;
        ftp_->Host = utf8(site->address);
        ftp_->Port = site->port;
        ftp_->Username = utf8(site->username);
        ftp_->Password = utf8(site->password);
        ftp_->Passive = site->pasv;
        proxyName = site->proxy;
        socksName = site->socks;
        defaultPath = site->defaultpath;
        autoRefresh = site->autorefresh;
        connectTimeoutMs = site->timeout * 1000;
        ftp_->ReadTimeout = connectTimeoutMs;
        retryLimit = site->nor;
        retryDelayMs = site->rd * 1000;
        localPath = site->localpath;
        siteId = site->id;
        applySiteSecurity(site->id, site->address, site->port);
    }
    keepAliveCommands = dataModule_.KeepAliveCommands();
    const OptionsRecord options = dataModule_.ReadOptions();
    keepAliveInterval = options.interval;
    transferMode = options.transfermode;
    tempPath = options.temppath;
    ftp_->RecvBufferSize = options.recvb;
    ftp_->SendBufferSize = options.sendb;
    if (quick) return true;
    // A proxy or SOCKS entry that is gone, or names an unknown type, leaves the settings as
    // they were.
    if (proxyName != QLatin1String("None")) {
        TNetFtpProxyType type;
        const std::optional<ProxyRecord> proxy = dataModule_.FindProxy(proxyName);
        if (proxy) {
            ftp_->ProxySettings.Host = utf8(proxy->server);
            ftp_->ProxySettings.Port = proxy->port;
            if (proxyTypeOf(proxy->typeName, type)) ftp_->ProxySettings.ProxyType = type;
            if (proxy->login) {
                ftp_->ProxySettings.UserName = utf8(proxy->username);
                ftp_->ProxySettings.Password = utf8(proxy->password);
            }
        }
    }
    if (socksName != QLatin1String("None")) {
        TSocksVersion version;
        const std::optional<SocksRecord> socks = dataModule_.FindSocks(socksName);
        if (socks) {
            ftp_->SocksInfo.Host = utf8(socks->host);
            ftp_->SocksInfo.Port = socks->port;
            if (socksVersionOf(socks->svname, version)) ftp_->SocksInfo.Version = version;
            ftp_->SocksInfo.Authentication = socks->login ? saUsernamePassword : saNoAuthentication;
            if (socks->login) {
                ftp_->SocksInfo.Username = utf8(socks->user);
                ftp_->SocksInfo.Password = utf8(socks->pass);
            }
        }
    }
    return true;
}

int TBrowserFrame::retryWaitSeconds() const {
    // Rounded to the nearest whole second, ties to even, as the wait is shown to the user.
    return static_cast<int>(std::nearbyint(retryDelayMs / 1000.0));
}

void TBrowserFrame::ConnectSite(bool quick) {
    retryCount = 0;
    if (!LoadSessionSettings(quick)) {
        ShowError(this, tr("Can not read the information of the FTP site."));
        return;
    }
    LogMessage(tr("Connecting ") + QString::fromStdString(ftp_->Host), 0);
    CallScope call(callDepth_);
    const int epoch = timerEpoch_;
    try {
        ftp_->Connect(true, connectTimeoutMs);
    } catch (const ENetCertificateRefused& e) {
        // The user (or the checks) said no: asking again at every retry would not change it.
        LogMessage(QString::fromStdString(e.what()), 2);
        return;
    } catch (...) {
        LogMessage(tr("Error occured,wait %1 second for retry").arg(retryWaitSeconds()), 2);
        // A page closed while it was connecting stays closed: no retry reconnects it.
        if (epoch != timerEpoch_) return;
        retryTimer_->setInterval(retryDelayMs);
        retryTimer_->start();
        return;
    }
    if (!ftp_->Connected()) return;
    currentPath = QString::fromStdString(ftp_->CurrentDirectory());
    homePath = currentPath;
    ListFolder(currentPath);
    if (!defaultPath.isEmpty() && defaultPath != QLatin1String("/")) {
        currentPath = defaultPath;
        try {
            ListFolder(defaultPath);
        } catch (const ENetException&) {
            ShowError(this, tr("The default folder was not existed, the program will change "
                               "to root automactically."));
            currentPath = QString::fromStdString(ftp_->CurrentDirectory());
            ListFolder(currentPath);
        }
    }
    pathBar_->setText(currentPath);
    connected();
}

void TBrowserFrame::onAbortClick() {
    try {
        ftp_->AbortTransfer();
    } catch (...) {
    }
    CallScope call(callDepth_);
    // With the control connection still open this connect fails and the engine closes it, so
    // the session ends disconnected; with it lost, this reconnects and logs in again.
    try {
        ftp_->Connect(true, connectTimeoutMs);
    } catch (...) {
    }
    if (!ftp_->Connected()) return;
    ListFolder(currentPath);
    SetBrowseEnabled(true);
}

void TBrowserFrame::onEngineDisconnected() {
    // However the connection ended, nothing may browse or run the queue on it any more.
    clearRemoteSelection();
    SetBrowseEnabled(false);
    busy = false;
    keepAliveTimer_->stop();
}

void TBrowserFrame::connected() {
    retryTimer_->stop();
    setToggleConnected(true);
    SetBrowseEnabled(true);
    abortAction_->setEnabled(true);
    idleTicks = 0;
    keepAliveTimer_->start();
    emit connectionChanged(true);
}

void TBrowserFrame::DisconnectSession() {
    LogMessage(tr("Disconnected from server."), 2);
    SetBrowseEnabled(false);
    entries.clear();
    cache.clear();
    fillRemoteList();
    busy = false;
    retryTimer_->stop();
    setToggleConnected(false);
    try {
        ftp_->Disconnect();
    } catch (...) {
    }
    emit connectionChanged(false);
}

void TBrowserFrame::onRetryTimer() {
    ++retryCount;
    if (retryCount == retryLimit) {
        LogMessage(tr("Encountered maximum error.This part job is halted."), 2);
        retryTimer_->stop();
        return;
    }
    LogMessage(tr("Connecting ") + QString::fromStdString(ftp_->Host), 0);
    CallScope call(callDepth_);
    try {
        ftp_->Connect(true, connectTimeoutMs);
    } catch (const ENetCertificateRefused& e) {
        LogMessage(QString::fromStdString(e.what()), 2);
        retryTimer_->stop();
        return;
    } catch (...) {
        LogMessage(tr("Error occured,wait %1 second for retry. (%2)")
                       .arg(retryWaitSeconds())
                       .arg(retryCount),
                   2);
        return;
    }
    if (!ftp_->Connected()) return;
    currentPath = QString::fromStdString(ftp_->CurrentDirectory());
    ListFolder(currentPath);
    connected();
}

void TBrowserFrame::onKeepAliveTimer() {
    if (!Connected()) return;
    ++idleTicks;
    if (idleTicks != keepAliveInterval) return;
    // With no enabled command nothing may be sent; the count simply starts again.
    if (!keepAliveCommands.isEmpty()) {
        const int pick = QRandomGenerator::global()->bounded(keepAliveCommands.size());
        CallScope call(callDepth_);
        ftp_->SendCommand(keepAliveCommands[pick].toStdString(), {});
    }
    idleTicks = 0;
}
