#pragma once
// Sessions own databases and the lock settings every database of the session applies to its
// file. One session named "Default" exists from start-up and serves every database and cursor
// whose session name is empty. Sessions are found by name without regard to letter case.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace store {

class TStoreDatabase;

// Storage medium of a database: a disk file, or a memory stream named ":" + hex handle.
enum TStoreMedium { mtDisk, mtMemory };

// Asks the user for the password of an encrypted store file. Returns false when the user
// cancels; otherwise fills password. The program connects this to its "Database Login" dialog.
using TStoreLoginPrompt = std::function<bool(const std::string& fileName, std::string& password)>;

// Raised when the user cancels the login prompt: the open ends without a message.
class EStoreAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The one process-wide lock guarding session and database bookkeeping.
std::recursive_mutex& StoreSessionLock();

class TStoreSession {
public:
    // Makes and registers a session. An empty name leaves it unnamed (it cannot be activated).
    // Raises EStoreError("Duplicate session name '%s'") when the name is taken.
    explicit TStoreSession(const std::string& name = {});
    // Deactivates the session (temporary databases destroyed, others disconnected) and
    // unregisters it; its remaining databases lose their session.
    ~TStoreSession();
    TStoreSession(const TStoreSession&) = delete;
    TStoreSession& operator=(const TStoreSession&) = delete;

    // Returns the session named "Default", made at first use and kept for the process.
    static TStoreSession& Default();
    // Returns the session of that name (letter case ignored), or nullptr.
    static TStoreSession* Find(const std::string& name);
    // Returns the session of that name; an empty name gives the default session. Raises
    // EStoreError("Invalid session name %s") for an unknown name.
    static TStoreSession& Get(const std::string& name);

    const std::string& SessionName() const { return name_; }
    // Renames the session. Raises "Cannot modify SessionName while AutoSessionName is
    // enabled", "Cannot perform this operation on an active session" or "Duplicate session
    // name '%s'"; the name stays as it was then.
    void SetSessionName(const std::string& name);

    // Automatic naming: while on, the name is owner + "_" + the smallest free number.
    bool AutoSessionName() const { return autoName_; }
    void SetAutoSessionName(bool on, const std::string& owner = "Session");

    // Lock retry count (default 20) and wait time in milliseconds (default 100), clamped to 0
    // or more; connected databases of the session take new values at once.
    int LockRetryCount() const { return lockRetryCount_; }
    void SetLockRetryCount(int count);
    int LockWaitTime() const { return lockWaitTime_; }
    void SetLockWaitTime(int ms);

    // Keep-connection setting given to databases made on demand (default false).
    bool KeepConnections() const { return keepConnections_; }
    void SetKeepConnections(bool on) { keepConnections_ = on; }

    // Hourglass cursor while filtering: stored only, the store has no user interface.
    bool SQLHourGlass() const { return hourGlass_; }
    void SetSQLHourGlass(bool on) { hourGlass_ = on; }

    // Activation. Activating an unnamed session raises "Session name missing"; deactivating
    // destroys the temporary databases and disconnects the others.
    bool Active() const { return active_; }
    void SetActive(bool on);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }

    // Passwords tried first on encrypted files, in the order added.
    const std::vector<std::string>& Passwords() const { return passwords_; }
    void AddPassword(const std::string& password);
    void RemovePassword(const std::string& password);
    void RemoveAllPasswords() { passwords_.clear(); }

    // Login prompt used for encrypted files when no candidate password is accepted and the
    // database sets none of its own prompt.
    const TStoreLoginPrompt& OnLogin() const { return onLogin_; }
    void SetOnLogin(TStoreLoginPrompt prompt) { onLogin_ = std::move(prompt); }

    // Databases of the session, temporary ones included.
    std::vector<TStoreDatabase*> Databases() const;
    // Returns the session's database of that name (letter case ignored), or nullptr.
    TStoreDatabase* FindDatabase(const std::string& databaseName) const;

    // The session's database of that name, or a temporary one made for it with this medium and
    // the session's keep-connections setting; connects it and raises its use count. Raises
    // what connecting raises (a temporary database made for the call is destroyed again).
    TStoreDatabase& OpenDatabase(const std::string& databaseName, TStoreMedium medium = mtDisk);
    // Lowers the use count; at zero, unless the database keeps its connection, a temporary
    // database is destroyed and any other is disconnected.
    void CloseDatabase(TStoreDatabase& database);

    // Bookkeeping for TStoreDatabase.
    void AddDatabase(TStoreDatabase* database);
    void RemoveDatabase(TStoreDatabase* database);

private:
    void MakeActive();

    std::string name_;
    bool autoName_ = false;
    int lockRetryCount_ = 20;
    int lockWaitTime_ = 100;
    bool keepConnections_ = false;
    bool hourGlass_ = true;
    bool active_ = false;
    std::vector<std::string> passwords_;
    TStoreLoginPrompt onLogin_;
    std::vector<TStoreDatabase*> databases_;
    std::vector<std::unique_ptr<TStoreDatabase>> temporaries_;
};

// Compares two names of sessions, databases, tables, fields or indexes without regard to
// letter case (ASCII).
bool SameName(const std::string& a, const std::string& b);

} // namespace store
