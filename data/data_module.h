#pragma once
// The data module: the program's one connection to its two store files and the record work the
// windows do on them. Every operation opens the tables it needs and closes them before it
// returns, so no table stays open between user actions. Store failures are raised as
// store::EStoreError with the store's own message.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// One `ftpsite` record as the windows read and write it.
struct SiteRecord {
    int id = 0;
    QString name;
    QString address;
    int port = 21;
    QString username;
    QString password;
    QString comment;
    QString cdate;
    QString zdate;
    int timeout = 30;
    int nor = 20;
    int rd = 10;
    bool vp = true;
    QString defaultpath;
    QString localpath;
    QString proxy = QStringLiteral("None");
    QString socks = QStringLiteral("None");
    bool pasv = true;
    bool autorefresh = false;
    bool cnc = false;
    int maxc = 1;
};

// The `options` record fields a session reads.
struct OptionsRecord {
    int interval = 0;
    QString transfermode;
    QString transferc;
    int recvb = 0;
    int sendb = 0;
    bool appe = false;
    QString temppath;
};

// One `proxy` record.
struct ProxyRecord {
    QString name, server, username, password, typeName;
    int port = 0;
    bool login = false;
};

// One `socks` record.
struct SocksRecord {
    QString name, host, user, pass, svname;
    int port = 0;
    bool login = false;
};

// One `hdital` record: a finished transfer job of a history day.
struct HistoryTransfer {
    int key = 0;
    int id = 0;
    QString type;
    QString ftpfile;
    QString lofile;
    QString date;
    QString date2;
    QString ftppath;
    QString lopath;
    QString usetime;
    QString speed;
    bool isfolder = false;
};

// One `hmaster` record: a history day of one site and direction.
struct HistoryDay {
    int key = 0;
    int id = 0;
    QString date;
    QString type;
};

// One `sitesec` record: the protocol choices of a site (by `ftpsite.id`).
struct SiteSecurityRecord {
    int siteid = 0;
    // 0 none, 1 TLS if available, 2 explicit TLS, 3 implicit TLS (the engine's values).
    int encryption = 0;
    bool keeptime = false;
    bool verify = true;
};

class TDataModule {
public:
    // Requires the program's folder, where "all.dat" and "FTPBookmark.dat" lie. Connects nothing.
    explicit TDataModule(const QString& programFolder);
    virtual ~TDataModule();
    TDataModule(const TDataModule&) = delete;
    TDataModule& operator=(const TDataModule&) = delete;

    // Creates a missing "all.dat" or "FTPBookmark.dat" with every table and the default records.
    // Never touches an existing file. Raises store::EStoreError when a file cannot be made.
    virtual void CreateMissingStores();
    // Connects the main store to "all.dat" and binds the bookmark table to "FTPBookmark.dat".
    // Raises store::EStoreError when a store cannot be opened.
    virtual void Connect();

    // Returns every site in table order.
    virtual std::vector<SiteRecord> LoadSites();
    // Returns the first site named exactly `name`, or nothing.
    virtual std::optional<SiteRecord> FindSite(const QString& name);
    // Returns true when a site named exactly `name` exists.
    bool SiteExists(const QString& name) { return FindSite(name).has_value(); }
    // Appends `site` as a new record (its id is assigned by the store and ignored here).
    virtual void AppendSite(const SiteRecord& site);
    // Overwrites every field but the id of the site named `formerName`; false when there is none.
    virtual bool UpdateSite(const QString& formerName, const SiteRecord& site);
    // Sets the name of the site named `oldName` to `newName`; false when there is none.
    virtual bool RenameSite(const QString& oldName, const QString& newName);
    // Deletes the site named `name` with its day and transfer records; false when there is none.
    // Bookmarks and tasks of the site stay.
    virtual bool DeleteSite(const QString& name);

    // Writes the present local time into `zdate` of the site named `name` and returns the site,
    // or nothing when there is none. A session calls it each time it connects.
    virtual std::optional<SiteRecord> TouchSite(const QString& name);
    // Returns the `command` of every ticked `antiidle` record, in table order.
    virtual QStringList KeepAliveCommands();
    // Returns the `options` record (empty values on an empty table).
    virtual OptionsRecord ReadOptions();
    // Return the first `proxy` / `socks` record named exactly `name`, or nothing.
    virtual std::optional<ProxyRecord> FindProxy(const QString& name);
    virtual std::optional<SocksRecord> FindSocks(const QString& name);

    // Returns the names of every `proxy` / `socks` record in table order.
    virtual QStringList ProxyNames();
    virtual QStringList SocksNames();

    // Makes sure `options.temppath` names an existing folder: when it is empty or missing, creates
    // `fallback` (one level) and stores it, starting the one `options` record if the table is
    // empty. Returns the temporary folder in force afterwards.
    virtual QString EnsureTempPath(const QString& fallback);

    // Returns true when `ascext` holds a record whose `ext` is exactly `extension` (the caller
    // passes it upper-cased, without its dot), whatever its `tf`.
    virtual bool IsAsciiExtension(const QString& extension);
    // Records one finished job: finds or appends the `hmaster` day (`siteId`, `day`, `job.type`)
    // and appends `job` to `hdital` under that day's key. Returns the day's key.
    virtual int AppendHistory(int siteId, const QString& day, const HistoryTransfer& job);
    // Return every `hmaster` / `hdital` record in table order.
    virtual std::vector<HistoryDay> LoadHistoryDays();
    virtual std::vector<HistoryTransfer> LoadHistoryTransfers();

    // Returns the `sitesec` record of the site, or the defaults (with siteid set) when it has
    // none.
    virtual SiteSecurityRecord ReadSiteSecurity(int siteId);
    // Replaces or appends the `sitesec` record of record.siteid.
    virtual void WriteSiteSecurity(const SiteSecurityRecord& record);
    // Returns the SHA-256 fingerprints the user chose to always trust for host and port.
    virtual QStringList TrustedCertificates(const QString& host, int port);
    // Remembers that the certificate with this fingerprint is trusted for host and port.
    virtual void TrustCertificate(const QString& host, int port, const QString& sha256,
                                  const QString& subject);

    // Returns the program's folder.
    const QString& programFolder() const { return programFolder_; }

private:
    struct Tables;
    QString programFolder_;
    std::unique_ptr<Tables> tables_;
};
