#include "store/session.h"

#include "store/database.h"
#include "store/store_error.h"

#include <algorithm>
#include <cctype>

namespace store {

namespace {

// Every live session, the default one included; guarded by StoreSessionLock().
std::vector<TStoreSession*>& sessionList() {
    static std::vector<TStoreSession*> list;
    return list;
}

} // namespace

std::recursive_mutex& StoreSessionLock() {
    static std::recursive_mutex lock;
    return lock;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

TStoreSession::TStoreSession(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    if (!name.empty() && Find(name))
        throw EStoreError(FormatMessage("Duplicate session name '%s'", name.c_str()));
    name_ = name;
    sessionList().push_back(this);
}

TStoreSession::~TStoreSession() {
    std::lock_guard guard(StoreSessionLock());
    try {
        SetActive(false);
    } catch (...) {
        // A failing disconnect must not keep the session registered.
    }
    for (TStoreDatabase* db : databases_)
        db->session_ = nullptr;
    databases_.clear();
    auto& list = sessionList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TStoreSession& TStoreSession::Default() {
    // Never destroyed: databases and cursors in static storage may still refer to it at exit.
    static TStoreSession* session = new TStoreSession("Default");
    return *session;
}

TStoreSession* TStoreSession::Find(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    if (name.empty()) return nullptr;
    for (TStoreSession* s : sessionList())
        if (SameName(s->name_, name)) return s;
    return nullptr;
}

TStoreSession& TStoreSession::Get(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    if (name.empty()) return Default();
    Default(); // "Default" must exist before it can be found by name
    if (TStoreSession* s = Find(name)) return *s;
    throw EStoreError(FormatMessage("Invalid session name %s", name.c_str()));
}

void TStoreSession::SetSessionName(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    if (autoName_) throw EStoreError("Cannot modify SessionName while AutoSessionName is enabled");
    if (active_) throw EStoreError("Cannot perform this operation on an active session");
    TStoreSession* other = Find(name);
    if (other && other != this)
        throw EStoreError(FormatMessage("Duplicate session name '%s'", name.c_str()));
    name_ = name;
}

void TStoreSession::SetAutoSessionName(bool on, const std::string& owner) {
    std::lock_guard guard(StoreSessionLock());
    if (on == autoName_) return;
    if (active_) throw EStoreError("Cannot perform this operation on an active session");
    autoName_ = on;
    if (!on) return;
    for (int n = 1;; ++n) {
        std::string candidate = FormatMessage("%s_%d", owner.c_str(), n);
        TStoreSession* other = Find(candidate);
        if (!other || other == this) {
            name_ = candidate;
            return;
        }
    }
}

void TStoreSession::SetLockRetryCount(int count) {
    lockRetryCount_ = std::max(0, count);
    std::lock_guard guard(StoreSessionLock());
    for (TStoreDatabase* db : databases_)
        db->ApplyLockSettings();
}

void TStoreSession::SetLockWaitTime(int ms) {
    lockWaitTime_ = std::max(0, ms);
    std::lock_guard guard(StoreSessionLock());
    for (TStoreDatabase* db : databases_)
        db->ApplyLockSettings();
}

void TStoreSession::MakeActive() {
    if (active_) return;
    if (name_.empty()) throw EStoreError("Session name missing");
    active_ = true;
}

void TStoreSession::SetActive(bool on) {
    std::lock_guard guard(StoreSessionLock());
    if (on) {
        MakeActive();
        return;
    }
    if (!active_) return;
    // Temporary databases go first so that closing their cursors cannot touch a freed object.
    std::vector<std::unique_ptr<TStoreDatabase>> temporaries = std::move(temporaries_);
    temporaries_.clear();
    temporaries.clear();
    for (TStoreDatabase* db : std::vector<TStoreDatabase*>(databases_))
        db->SetConnected(false);
    active_ = false;
}

void TStoreSession::AddPassword(const std::string& password) {
    if (std::find(passwords_.begin(), passwords_.end(), password) == passwords_.end())
        passwords_.push_back(password);
}

void TStoreSession::RemovePassword(const std::string& password) {
    passwords_.erase(std::remove(passwords_.begin(), passwords_.end(), password), passwords_.end());
}

std::vector<TStoreDatabase*> TStoreSession::Databases() const {
    std::lock_guard guard(StoreSessionLock());
    return databases_;
}

TStoreDatabase* TStoreSession::FindDatabase(const std::string& databaseName) const {
    std::lock_guard guard(StoreSessionLock());
    for (TStoreDatabase* db : databases_)
        if (!db->DatabaseName().empty() && SameName(db->DatabaseName(), databaseName)) return db;
    return nullptr;
}

TStoreDatabase& TStoreSession::OpenDatabase(const std::string& databaseName, TStoreMedium medium) {
    std::lock_guard guard(StoreSessionLock());
    TStoreDatabase* db = FindDatabase(databaseName);
    bool made = false;
    if (!db) {
        auto temp = std::make_unique<TStoreDatabase>(name_);
        // The constructor resolved the session by name; a renamed or unnamed session must
        // still own its temporary databases.
        if (temp->session_ != this) {
            if (temp->session_) temp->session_->RemoveDatabase(temp.get());
            temp->session_ = this;
            AddDatabase(temp.get());
        }
        temp->SetTemporary(true);
        temp->SetDatabaseName(databaseName);
        temp->SetMedium(medium);
        temp->SetKeepConnection(keepConnections_);
        db = temp.get();
        temporaries_.push_back(std::move(temp));
        made = true;
    }
    try {
        if (!db->Connected()) db->SetConnected(true);
    } catch (...) {
        if (made) {
            auto it = std::find_if(temporaries_.begin(), temporaries_.end(),
                                   [db](const auto& p) { return p.get() == db; });
            if (it != temporaries_.end()) temporaries_.erase(it);
        }
        throw;
    }
    db->IncUseCount();
    return *db;
}

void TStoreSession::CloseDatabase(TStoreDatabase& database) {
    std::lock_guard guard(StoreSessionLock());
    database.DecUseCount();
    if (database.UseCount() > 0 || database.KeepConnection()) return;
    if (database.Temporary()) {
        auto it = std::find_if(temporaries_.begin(), temporaries_.end(),
                               [&database](const auto& p) { return p.get() == &database; });
        if (it != temporaries_.end()) {
            std::unique_ptr<TStoreDatabase> doomed = std::move(*it);
            temporaries_.erase(it);
            return; // destroyed here, which disconnects it
        }
    }
    database.SetConnected(false);
}

void TStoreSession::AddDatabase(TStoreDatabase* database) {
    std::lock_guard guard(StoreSessionLock());
    if (std::find(databases_.begin(), databases_.end(), database) == databases_.end())
        databases_.push_back(database);
}

void TStoreSession::RemoveDatabase(TStoreDatabase* database) {
    std::lock_guard guard(StoreSessionLock());
    databases_.erase(std::remove(databases_.begin(), databases_.end(), database), databases_.end());
}

} // namespace store
