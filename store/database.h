#pragma once
// A database connects one store file for the cursors of a session: it names the file, opens
// and checks it on connect, keeps one table-level object per table while connected, counts the
// cursors using it and runs the access check of encrypted files.

#include "store/session.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace store {

class TStoreFileIO;
class TStoreTable;

class TStoreDatabase {
public:
    using Event = std::function<void(TStoreDatabase&)>;
    using ProgressEvent = std::function<void(TStoreDatabase&, int percent)>;

    // Makes a database of the session of that name (empty: "Default"). Raises
    // EStoreError("Invalid session name %s") for an unknown session.
    explicit TStoreDatabase(const std::string& sessionName = {});
    // Disconnects and leaves the session.
    ~TStoreDatabase();
    TStoreDatabase(const TStoreDatabase&) = delete;
    TStoreDatabase& operator=(const TStoreDatabase&) = delete;

    // The name cursors use. Requires: disconnected ("Cannot perform this operation on an open
    // database"); raises "Duplicate database name '%s'" when another database of the session
    // bears it.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);
    // File opened on connect; the database name is used when it is empty. Requires:
    // disconnected.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name);
    // The name of the file or memory stream that is (or would be) opened.
    const std::string& StoreName() const { return fileName_.empty() ? databaseName_ : fileName_; }
    TStoreMedium Medium() const { return medium_; }
    void SetMedium(TStoreMedium medium);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool on);
    bool KeepConnection() const { return keepConnection_; }
    void SetKeepConnection(bool on) { keepConnection_ = on; }
    // Moves the database to another session. Requires: disconnected; raises "Invalid session
    // name %s" for an unknown session.
    const std::string& SessionName() const { return sessionName_; }
    void SetSessionName(const std::string& name);
    // The session, or nullptr when it was destroyed.
    TStoreSession* Session() const { return session_; }

    // Connect: before-connect event, name check ("Database name missing"), the file opened
    // and checked, tables listed, after-connect event; on a failure the file is closed and
    // the error passed on. Disconnect: before-disconnect event, every cursor closed, the file
    // closed, tables, access flag and password dropped, after-disconnect event.
    bool Connected() const { return file_ != nullptr; }
    // True while a disconnect closes the database's cursors.
    bool Disconnecting() const { return disconnecting_; }
    void SetConnected(bool on);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Password tried on an encrypted file after the session's list.
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& password) { password_ = password; }
    // Prompt of this database; when unset the session's prompt is used.
    void SetOnLogin(TStoreLoginPrompt prompt) { onLogin_ = std::move(prompt); }

    // Access check of an encrypted file: session passwords, then the database's password,
    // then (when it has none) the login prompt. Requires: connected. Raises
    // EStoreError("Access denied") when no candidate is accepted, EStoreAbort when the prompt
    // is cancelled.
    void CheckAccess();
    bool AccessGranted() const;

    // Table names in directory order. Requires: connected ("Cannot perform this operation on
    // a closed database").
    std::vector<std::string> TableNames() const;
    // The open file. Requires: connected.
    TStoreFileIO& FileIO() const;

    bool Temporary() const { return temporary_; }
    void SetTemporary(bool on) { temporary_ = on; }
    // Number of cursors that opened through the session (OpenDatabase/CloseDatabase).
    int UseCount() const { return useCount_; }
    void IncUseCount() { ++useCount_; }
    void DecUseCount() {
        if (useCount_ > 0) --useCount_;
    }

    // Flush-always switch handed to the file on connect (default off).
    bool FlushAlways() const { return flushAlways_; }
    void SetFlushAlways(bool on);

    // Sends the session's lock settings to the open file.
    void ApplyLockSettings();

    // Cursors register while open so that a disconnect can close them.
    void AddCursor(TStoreTable* table);
    void RemoveCursor(TStoreTable* table);

    Event BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
    ProgressEvent OnCompressProgress, OnDecompressProgress, OnEncryptProgress, OnDecryptProgress;

private:
    void RequireClosed() const;
    void Connect();
    void Disconnect();
    void HookProgress();

    TStoreSession* session_ = nullptr;
    std::string sessionName_;
    std::string databaseName_;
    std::string fileName_;
    TStoreMedium medium_ = mtDisk;
    bool exclusive_ = false;
    bool keepConnection_ = false;
    bool temporary_ = false;
    bool flushAlways_ = false;
    int useCount_ = 0;
    bool disconnecting_ = false;
    std::string password_;
    TStoreLoginPrompt onLogin_;
    std::unique_ptr<TStoreFileIO> file_;
    std::vector<TStoreTable*> cursors_;

    friend class TStoreSession;
};

} // namespace store
