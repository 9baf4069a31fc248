#pragma once
// The data module: the program's one connection to its two store files and the record work the
// windows do on them. Every operation opens the tables it needs and closes them before it
// returns, so no table stays open between user actions. Store failures are raised as
// store::EStoreError with the store's own message.

#include <QString>
#include <QStringList>
#include <functional>
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

// The `options` record. A session reads the keep-alive and transfer settings; the options
// dialog reads and writes all of it.
struct OptionsRecord {
    bool eanti = true;
    int interval = 0;
    QString transfermode;
    QString transferc;
    int recvb = 0;
    int sendb = 0;
    bool appe = false;
    bool ifclear = true;
    QString temppath;
};

// Socket buffer sizes are held to these bounds wherever they are read or typed.
inline constexpr int kMinBufferSize = 512;
inline constexpr int kMaxBufferSize = 1024 * 1024;
// Returns `size` held to [kMinBufferSize, kMaxBufferSize].
int BoundBufferSize(int size);

// One `proxy` record. `type` is the position of the chosen type, -1 when none was chosen.
struct ProxyRecord {
    QString name, server, username, password, typeName;
    int port = 0;
    bool login = false;
    int type = -1;
};

// One `socks` record. `sv` is the position of the chosen version.
struct SocksRecord {
    QString name, host, user, pass, svname;
    int port = 1080;
    bool login = false;
    int sv = 0;
};

// One item of a ticked list (`antiidle` command or `ascext` extension).
struct CheckedItem {
    QString text;
    bool tf = false;
    bool operator==(const CheckedItem&) const = default;
};

// The two ticked lists of the options dialog.
enum class CheckedList { AntiIdle, AsciiExt };

// One `editor` record: an extension as typed and the program that edits it.
struct EditorPair {
    QString ext;
    QString editor;
    bool operator==(const EditorPair&) const = default;
};

// One `quickftp` record: a server quick connect reached, with the values used.
struct QuickServer {
    QString ftp;
    int port = 21;
    QString user;
    QString pass;
    bool pasv = true;
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

// One `task` record: a task category.
struct TaskCategory {
    int id = 0;
    QString name;
    QString desc;
};

// One `taskd` record: a task.
struct TaskRecord {
    int id = 0;
    int taskid = 0;
    QString name;
    QString ftp;
    QString type;
    QString common;
};

// One `taskd2` record: a file or folder of a task.
struct TaskEntry {
    int id = 0;
    QString files;
    QString local;
    QString ftp;
    bool isfolder = false;
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
    // Calls the caller's tick now and then during long scans, so the window can stay alive.
    using Tick = std::function<void()>;
    // Return every `hmaster` / `hdital` record in table order.
    virtual std::vector<HistoryDay> LoadHistoryDays(const Tick& tick = {});
    virtual std::vector<HistoryTransfer> LoadHistoryTransfers(const Tick& tick = {});

    // Deletes the `hdital` record with key `key`; false when there is none.
    bool DeleteHistoryTransfer(int key);
    // Deletes the `hdital` records whose keys are in `transferKeys` (in one pass over the table)
    // and the `hmaster` day (`siteId`, `date`, `type`). Returns false when there was no such day.
    bool DeleteHistoryDay(int siteId, const QString& date, const QString& type,
                          const std::vector<int>& transferKeys, const Tick& tick = {});
    // Empties `hmaster` and `hdital`.
    void ClearHistory();

    // Return every `task` / `taskd` record in table order.
    virtual std::vector<TaskCategory> LoadCategories();
    virtual std::vector<TaskRecord> LoadTasks();
    // Returns the category named exactly `name`, or nothing.
    std::optional<TaskCategory> FindCategory(const QString& name);
    // Appends a category and returns its id.
    int AppendCategory(const QString& name, const QString& desc);
    // Sets name and description of the category named `formerName`; false when there is none.
    bool UpdateCategory(const QString& formerName, const QString& name, const QString& desc);
    // Deletes the category named `name` (not its tasks); false when there is none.
    bool DeleteCategory(const QString& name);
    // Returns the entries of task `taskId` in table order.
    std::vector<TaskEntry> LoadTaskEntries(int taskId, const Tick& tick = {});
    // Deletes the entries of task `taskId` and its `taskd` record; false when there was no record.
    bool DeleteTask(int taskId);
    // Saves a task with its entries, replacing the former ones. With `task.id` 0 a new record is
    // appended; otherwise the record with that id is updated (when it is gone, only the entries
    // are written under the id). Returns the task's id.
    int SaveTask(const TaskRecord& task, const std::vector<TaskEntry>& entries,
                 const Tick& tick = {});

    // Returns the `editor` program of the first `editor` record whose `ext` is exactly
    // `extension`, or nothing.
    virtual std::optional<QString> FindEditor(const QString& extension);
    // Appends an `editor` record.
    virtual void AppendEditor(const QString& extension, const QString& program);
    // Returns the `path` of every `bookmark` record of site `siteId`, in table order.
    virtual QStringList LoadBookmarks(int siteId);
    // Appends a bookmark of `path` for site `siteId` unless that site has one of the same path;
    // returns true when a record was appended.
    virtual bool AddBookmark(int siteId, const QString& path);
    // Replaces every bookmark of site `siteId` by `paths`, in their order.
    virtual void ReplaceBookmarks(int siteId, const QStringList& paths);
    // The options dialog's tables. Each call opens and closes its table.
    // Returns every item of `list` in table order.
    virtual std::vector<CheckedItem> LoadCheckedList(CheckedList list);
    // Empties `list` and appends `items` in order.
    void SaveCheckedList(CheckedList list, const std::vector<CheckedItem>& items);
    // Sets `tf` of the first record whose text equals `text` exactly; false when there is none.
    bool SetChecked(CheckedList list, const QString& text, bool tf);
    // Returns / replaces every `editor` record in table order.
    virtual std::vector<EditorPair> LoadEditors();
    void SaveEditors(const std::vector<EditorPair>& editors);
    // Overwrites the one `options` record (starting it on an empty table).
    void WriteOptions(const OptionsRecord& options);

    // Return every `proxy` / `socks` record in table order.
    virtual std::vector<ProxyRecord> LoadProxies();
    virtual std::vector<SocksRecord> LoadSocks();
    // Append a record.
    void AppendProxy(const ProxyRecord& proxy);
    void AppendSocks(const SocksRecord& socks);
    // Overwrite the record named `formerName`; false (nothing written) when there is none.
    bool UpdateProxy(const QString& formerName, const ProxyRecord& proxy);
    bool UpdateSocks(const QString& formerName, const SocksRecord& socks);
    // Delete the record named `name`; false when there is none.
    bool DeleteProxy(const QString& name);
    bool DeleteSocks(const QString& name);

    // Quick connect's remembered servers.
    virtual std::vector<QuickServer> LoadQuickServers();
    std::optional<QuickServer> FindQuickServer(const QString& ftp);
    // Updates the record whose `ftp` equals `server.ftp`, or appends one.
    void RememberQuickServer(const QuickServer& server);
    void ClearQuickServers();

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
