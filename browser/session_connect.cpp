// Setting up a browser frame's session: reading the stored site and options into the frame and
// its engine, connecting, retrying, keeping the connection alive and ending it.

#include "browser/browser_frame.h"
#include "browser/connect_failure.h"
#include "browser/transfer_queue.h"
#include "data/expected_failure.h"
#include "data/wire_text.h"

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
        ftp_->Host = Wire::toWire(settings_.quickValues.host);
        ftp_->Port = settings_.quickValues.port;
        ftp_->Username = Wire::toWire(settings_.quickValues.username);
        ftp_->Password = Wire::toWire(settings_.quickValues.password);
        ftp_->Passive = settings_.quickValues.passive;
        settings_.autoRefresh = false;
        settings_.connectTimeoutMs = 30000;
        ftp_->ReadTimeout = 30000;
        settings_.retryLimit = 20;
        settings_.retryDelayMs = 10000;
    } else {
        const std::optional<SiteRecord> site = dataModule_.TouchSite(settings_.siteName);
        if (!site) return false;
        ftp_->Host = Wire::toWire(site->address);
        ftp_->Port = site->port;
        ftp_->Username = Wire::toWire(site->username);
        ftp_->Password = Wire::toWire(site->password);
        ftp_->Passive = site->pasv;
        settings_.proxyName = site->proxy;
        settings_.socksName = site->socks;
        settings_.defaultPath = site->defaultpath;
        settings_.autoRefresh = site->autorefresh;
        settings_.connectTimeoutMs = site->timeout * 1000;
        ftp_->ReadTimeout = settings_.connectTimeoutMs;
        settings_.retryLimit = site->nor;
        settings_.retryDelayMs = site->rd * 1000;
        settings_.localPath = site->localpath;
        settings_.siteId = site->id;
        applySiteSecurity(site->id, site->address, site->port);
    }
    applyOptions();
    return quick || applyProxyAndSocks();
}

void TBrowserFrame::applyOptions() {
    const OptionsRecord options = dataModule_.ReadOptions();
    settings_.keepAliveCommands =
        options.eanti ? dataModule_.KeepAliveCommands() : QStringList();
    settings_.keepAliveInterval = options.interval;
    settings_.transferMode = options.transfermode;
    settings_.tempPath = options.temppath;
    ftp_->RecvBufferSize = options.recvb;
    ftp_->SendBufferSize = options.sendb;
}

void TBrowserFrame::ReloadOptions() {
    applyOptions();
    idleTicks_ = 0;
}

bool TBrowserFrame::applyProxyAndSocks() {
    // A site that names an entry which was renamed or removed must not reach its server
    // directly, past the proxy or SOCKS server it was set up to use.
    settingsError_.clear();
    std::optional<ProxyRecord> proxy;
    if (settings_.proxyName != QLatin1String("None")) {
        proxy = dataModule_.FindProxy(settings_.proxyName);
        if (!proxy)
            settingsError_ =
                tr("The proxy %1 of this site does not exist.").arg(settings_.proxyName);
    }
    std::optional<SocksRecord> socks;
    if (settings_.socksName != QLatin1String("None") && settingsError_.isEmpty()) {
        socks = dataModule_.FindSocks(settings_.socksName);
        if (!socks)
            settingsError_ =
                tr("The SOCKS server %1 of this site does not exist.").arg(settings_.socksName);
    }
    if (!settingsError_.isEmpty()) return false;
    // An entry that names an unknown type leaves the settings as they were.
    if (proxy) {
        TNetFtpProxyType type;
        ftp_->ProxySettings.Host = Wire::toWire(proxy->server);
        ftp_->ProxySettings.Port = proxy->port;
        if (proxyTypeOf(proxy->typeName, type)) ftp_->ProxySettings.ProxyType = type;
        if (proxy->login) {
            ftp_->ProxySettings.UserName = Wire::toWire(proxy->username);
            ftp_->ProxySettings.Password = Wire::toWire(proxy->password);
        }
    }
    if (socks) {
        TSocksVersion version;
        ftp_->SocksInfo.Host = Wire::toWire(socks->host);
        ftp_->SocksInfo.Port = socks->port;
        if (socksVersionOf(socks->svname, version)) ftp_->SocksInfo.Version = version;
        ftp_->SocksInfo.Authentication = socks->login ? saUsernamePassword : saNoAuthentication;
        if (socks->login) {
            ftp_->SocksInfo.Username = Wire::toWire(socks->user);
            ftp_->SocksInfo.Password = Wire::toWire(socks->pass);
        }
    }
    return true;
}

int TBrowserFrame::retryWaitSeconds() const {
    // Rounded to the nearest whole second, ties to even, as the wait is shown to the user.
    return static_cast<int>(std::nearbyint(settings_.retryDelayMs / 1000.0));
}

void TBrowserFrame::ConnectSite(bool quick) {
    retryCount_ = 0;
    settingsError_.clear();
    if (!LoadSessionSettings(quick)) {
        const QString text = settingsError_.isEmpty()
                                 ? tr("Can not read the information of the FTP site.")
                                 : settingsError_;
        if (!settingsError_.isEmpty()) LogMessage(text, 2);
        ShowError(this, text);
        return;
    }
    LogMessage(tr("Connecting ") + QString::fromStdString(ftp_->Host), 0);
    CallScope call(callDepth_);
    const int epoch = timerEpoch_;
    try {
        ftp_->Connect(true, settings_.connectTimeoutMs);
    } catch (const ENetCertificateRefused& e) {
        // The user (or the checks) said no: asking again at every retry would not change it.
        LogMessage(QString::fromStdString(e.what()), 2);
        return;
    } catch (...) {
        LogMessage(tr("Error occured,wait %1 second for retry").arg(retryWaitSeconds()), 2);
        logConnectFailure(std::current_exception());
        // A page closed while it was connecting stays closed: no retry reconnects it.
        if (epoch != timerEpoch_) return;
        retryTimer_->setInterval(settings_.retryDelayMs);
        retryTimer_->start();
        return;
    }
    if (!ftp_->Connected()) return;
    currentPath_ = QString::fromStdString(ftp_->CurrentDirectory());
    homePath_ = currentPath_;
    ListFolder(currentPath_);
    if (!settings_.defaultPath.isEmpty() && settings_.defaultPath != QLatin1String("/")) {
        currentPath_ = settings_.defaultPath;
        try {
            ListFolder(settings_.defaultPath);
        } catch (const ENetException&) {
            ShowError(this, tr("The default folder was not existed, the program will change "
                               "to root automactically."));
            currentPath_ = QString::fromStdString(ftp_->CurrentDirectory());
            ListFolder(currentPath_);
        }
    }
    pathBar_->setText(currentPath_);
    connected();
}

void TBrowserFrame::logConnectFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        LogMessage(ConnectFailureText(error, QString::fromStdString(ftp_->Host), ftp_->Port,
                                      settings_.connectTimeoutMs),
                   2);
    } catch (...) {
        // Nothing the engine raises: there is no reason to tell beyond the retry line.
    }
}

void TBrowserFrame::onAbortClick() {
    CallScope call(callDepth_);
    queue_->AbortOperation(TTransferQueue::AbortMode::EndIdleSession);
}

void TBrowserFrame::onEngineDisconnected() {
    // However the connection ended, nothing may browse or run the queue on it any more.
    clearRemoteSelection();
    SetBrowseEnabled(false);
    queue_->SetBusy(false);
    keepAliveTimer_->stop();
}

void TBrowserFrame::connected() {
    retryTimer_->stop();
    setToggleConnected(true);
    SetBrowseEnabled(true);
    abortAction_->setEnabled(true);
    idleTicks_ = 0;
    keepAliveTimer_->start();
    emit connectionChanged(true);
}

void TBrowserFrame::DisconnectSession() {
    LogMessage(tr("Disconnected from server."), 2);
    SetBrowseEnabled(false);
    entries_.clear();
    cache_.clear();
    fillRemoteList();
    queue_->SetBusy(false);
    retryTimer_->stop();
    setToggleConnected(false);
    IgnoreFailure("the server may have closed the connection already", [&] { ftp_->Disconnect(); });
    emit connectionChanged(false);
}

void TBrowserFrame::onRetryTimer() {
    ++retryCount_;
    if (retryCount_ == settings_.retryLimit) {
        LogMessage(tr("Encountered maximum error.This part job is halted."), 2);
        retryTimer_->stop();
        return;
    }
    LogMessage(tr("Connecting ") + QString::fromStdString(ftp_->Host), 0);
    CallScope call(callDepth_);
    try {
        ftp_->Connect(true, settings_.connectTimeoutMs);
    } catch (const ENetCertificateRefused& e) {
        LogMessage(QString::fromStdString(e.what()), 2);
        retryTimer_->stop();
        return;
    } catch (...) {
        LogMessage(tr("Error occured,wait %1 second for retry. (%2)")
                       .arg(retryWaitSeconds())
                       .arg(retryCount_),
                   2);
        logConnectFailure(std::current_exception());
        return;
    }
    if (!ftp_->Connected()) return;
    currentPath_ = QString::fromStdString(ftp_->CurrentDirectory());
    ListFolder(currentPath_);
    connected();
}

void TBrowserFrame::onKeepAliveTimer() {
    if (!Connected()) return;
    ++idleTicks_;
    if (idleTicks_ != settings_.keepAliveInterval) return;
    // With no enabled command nothing may be sent; the count simply starts again.
    if (!settings_.keepAliveCommands.isEmpty()) {
        const int pick = QRandomGenerator::global()->bounded(settings_.keepAliveCommands.size());
        CallScope call(callDepth_);
        ftp_->SendCommand(Wire::toWire(settings_.keepAliveCommands[pick]), {});
    }
    idleTicks_ = 0;
}
