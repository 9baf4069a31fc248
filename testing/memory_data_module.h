#pragma once
// A data module for widget tests that keeps its records in memory, so the windows' handlers can
// be exercised on their own. The store-backed data module has its own tests against real files.

#include "data/data_module.h"
#include "store/store_error.h"

#include <QDir>

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
    std::string connectError;
    bool connected = false;
    int lastId = 0;
};
