#pragma once
// A data module for widget tests that keeps its records in memory, so the windows' handlers can
// be exercised on their own. The store-backed data module has its own tests against real files.

#include "data/data_module.h"
#include "store/store_error.h"

#include <QDir>
#include <QMap>

class TMemoryDataModule : public TDataModule {
public:
    explicit TMemoryDataModule(const QString& folder) : TDataModule(folder) {}

    void CreateMissingStores() override {}
    void Connect() override {
        if (!connectError.empty()) throw store::EStoreError(connectError);
        connected = true;
    }
    std::vector<SiteRecord> LoadSites() override { return sites; }
    std::optional<SiteRecord> FindSite(const QString& name) override {
        for (const SiteRecord& site : sites)
            if (site.name == name) return site;
        return std::nullopt;
    }
    void AppendSite(const SiteRecord& site) override {
        sites.push_back(site);
        sites.back().id = ++lastId;
    }
    bool UpdateSite(const QString& formerName, const SiteRecord& site) override {
        for (SiteRecord& stored : sites) {
            if (stored.name == formerName) {
                const int id = stored.id;
                stored = site;
                stored.id = id;
                return true;
            }
        }
        return false;
    }
    bool RenameSite(const QString& oldName, const QString& newName) override {
        for (SiteRecord& stored : sites) {
            if (stored.name == oldName) {
                stored.name = newName;
                return true;
            }
        }
        return false;
    }
    bool DeleteSite(const QString& name) override {
        for (auto it = sites.begin(); it != sites.end(); ++it) {
            if (it->name == name) {
                sites.erase(it);
                return true;
            }
        }
        return false;
    }
    std::optional<SiteRecord> TouchSite(const QString& name) override {
        for (SiteRecord& site : sites) {
            if (site.name == name) {
                site.zdate = QStringLiteral("touched");
                return site;
            }
        }
        return std::nullopt;
    }
    QStringList KeepAliveCommands() override { return keepAlive; }
    OptionsRecord ReadOptions() override { return options; }
    std::optional<ProxyRecord> FindProxy(const QString&) override { return std::nullopt; }
    std::optional<SocksRecord> FindSocks(const QString&) override { return std::nullopt; }
    QStringList ProxyNames() override { return proxies; }
    std::vector<CheckedItem> LoadCheckedList(CheckedList) override { return {}; }
    std::vector<EditorPair> LoadEditors() override { return {}; }
    std::vector<ProxyRecord> LoadProxies() override { return {}; }
    std::vector<SocksRecord> LoadSocks() override { return {}; }
    std::vector<QuickServer> LoadQuickServers() override { return {}; }
    std::vector<TaskCategory> LoadCategories() override { return categories; }
    std::vector<TaskRecord> LoadTasks() override { return tasks; }
    QStringList SocksNames() override { return socks; }
    QString EnsureTempPath(const QString& fallback) override {
        if (temppath.isEmpty() || !QDir(temppath).exists()) {
            QDir().mkdir(fallback);
            temppath = fallback;
        }
        return temppath;
    }

    std::optional<QString> FindEditor(const QString& extension) override {
        for (const auto& [ext, program] : editors)
            if (ext == extension) return program;
        return std::nullopt;
    }
    void AppendEditor(const QString& extension, const QString& program) override {
        editors.push_back({extension, program});
    }
    QStringList LoadBookmarks(int siteId) override {
        QStringList paths;
        for (const auto& [id, path] : bookmarks)
            if (id == siteId) paths << path;
        return paths;
    }
    bool AddBookmark(int siteId, const QString& path) override {
        if (LoadBookmarks(siteId).contains(path)) return false;
        bookmarks.push_back({siteId, path});
        return true;
    }
    void ReplaceBookmarks(int siteId, const QStringList& paths) override {
        std::erase_if(bookmarks, [siteId](const auto& b) { return b.first == siteId; });
        for (const QString& path : paths)
            bookmarks.push_back({siteId, path});
    }
    SiteSecurityRecord ReadSiteSecurity(int siteId) override {
        for (const auto& r : security)
            if (r.siteid == siteId) return r;
        SiteSecurityRecord r;
        r.siteid = siteId;
        return r;
    }
    void WriteSiteSecurity(const SiteSecurityRecord& record) override {
        for (auto& r : security)
            if (r.siteid == record.siteid) {
                r = record;
                return;
            }
        security.push_back(record);
    }
    QStringList TrustedCertificates(const QString& host, int port) override {
        return trusted.value(host + QLatin1Char(':') + QString::number(port));
    }
    void TrustCertificate(const QString& host, int port, const QString& sha256,
                          const QString&) override {
        QStringList& list = trusted[host + QLatin1Char(':') + QString::number(port)];
        if (!list.contains(sha256)) list << sha256;
    }

    SiteRecord& addSite(const QString& name, const QString& address) {
        SiteRecord site;
        site.name = name;
        site.address = address;
        site.cdate = site.zdate = QStringLiteral("2026-01-02 03:04:05");
        AppendSite(site);
        return sites.back();
    }

    std::vector<SiteRecord> sites;
    std::vector<TaskCategory> categories;
    std::vector<TaskRecord> tasks;
    QStringList keepAlive;
    OptionsRecord options;
    QStringList proxies;
    QStringList socks;
    QString temppath;
    std::vector<SiteSecurityRecord> security;
    QMap<QString, QStringList> trusted;
    std::string connectError;
    bool connected = false;
    int lastId = 0;
    std::vector<std::pair<QString, QString>> editors;
    std::vector<std::pair<int, QString>> bookmarks;
};
