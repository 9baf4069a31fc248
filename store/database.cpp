#include "store/database.h"

#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/table.h"
#include "store/value_codec.h"

#include <algorithm>

namespace store {

TStoreDatabase::TStoreDatabase(const std::string& sessionName) : sessionName_(sessionName) {
    std::lock_guard guard(StoreSessionLock());
    session_ = &TStoreSession::Get(sessionName);
    session_->AddDatabase(this);
}

TStoreDatabase::~TStoreDatabase() {
    std::lock_guard guard(StoreSessionLock());
    try {
        SetConnected(false);
    } catch (...) {
        // An event handler failing during destruction must not escape.
    }
    if (session_) session_->RemoveDatabase(this);
}

void TStoreDatabase::RequireClosed() const {
    if (Connected()) throw EStoreError("Cannot perform this operation on an open database");
}

void TStoreDatabase::SetDatabaseName(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    RequireClosed();
    if (session_ && !name.empty()) {
        TStoreDatabase* other = session_->FindDatabase(name);
        if (other && other != this)
            throw EStoreError(FormatMessage("Duplicate database name '%s'", name.c_str()));
    }
    databaseName_ = name;
}

void TStoreDatabase::SetFileName(const std::string& name) {
    RequireClosed();
    fileName_ = name;
}

void TStoreDatabase::SetMedium(TStoreMedium medium) {
    RequireClosed();
    medium_ = medium;
}

void TStoreDatabase::SetExclusive(bool on) {
    RequireClosed();
    exclusive_ = on;
}

void TStoreDatabase::SetSessionName(const std::string& name) {
    std::lock_guard guard(StoreSessionLock());
    RequireClosed();
    TStoreSession& next = TStoreSession::Get(name);
    if (&next == session_) {
        sessionName_ = name;
        return;
    }
    if (!databaseName_.empty()) {
        TStoreDatabase* other = next.FindDatabase(databaseName_);
        if (other && other != this)
            throw EStoreError(FormatMessage("Duplicate database name '%s'", databaseName_.c_str()));
    }
    if (session_) session_->RemoveDatabase(this);
    session_ = &next;
    sessionName_ = name;
    session_->AddDatabase(this);
}

void TStoreDatabase::SetFlushAlways(bool on) {
    flushAlways_ = on;
    if (file_) file_->SetFlushAlways(on);
}

void TStoreDatabase::ApplyLockSettings() {
    if (file_ && session_)
        file_->SetLockSettings(session_->LockRetryCount(), session_->LockWaitTime());
}

void TStoreDatabase::SetConnected(bool on) {
    std::lock_guard guard(StoreSessionLock());
    if (on == Connected() || disconnecting_) return;
    if (on)
        Connect();
    else
        Disconnect();
}

void TStoreDatabase::Connect() {
    if (BeforeConnect) BeforeConnect(*this);
    if (databaseName_.empty() && !temporary_) throw EStoreError("Database name missing");
    if (!session_)
        throw EStoreError(FormatMessage("Invalid session name %s", sessionName_.c_str()));
    session_->SetActive(true);
    const std::string& name = StoreName();
    std::unique_ptr<TStoreFileIO> file;
    if (medium_ == mtMemory)
        file = TStoreFileIO::Open(FindMemoryStream(name));
    else
        file = TStoreFileIO::Open(name, TStoreOpenMode{exclusive_, false});
    file->SetFlushAlways(flushAlways_);
    file_ = std::move(file);
    ApplyLockSettings();
    HookProgress();
    try {
        if (AfterConnect) AfterConnect(*this);
    } catch (...) {
        file_.reset();
        throw;
    }
}

void TStoreDatabase::HookProgress() {
    TValueCodec& codec = file_->Codec();
    auto hook = [this](ProgressEvent TStoreDatabase::*event) {
        return [this, event](int percent) {
            if (this->*event) (this->*event)(*this, percent);
        };
    };
    codec.CompressMgr().setCompressProgress(hook(&TStoreDatabase::OnCompressProgress));
    codec.CompressMgr().setDecompressProgress(hook(&TStoreDatabase::OnDecompressProgress));
    codec.EncryptMgr().setEncryptProgress(hook(&TStoreDatabase::OnEncryptProgress));
    codec.EncryptMgr().setDecryptProgress(hook(&TStoreDatabase::OnDecryptProgress));
}

void TStoreDatabase::Disconnect() {
    if (BeforeDisconnect) BeforeDisconnect(*this);
    disconnecting_ = true;
    try {
        // Closing a cursor unregisters it, so work on a copy.
        for (TStoreTable* table : std::vector<TStoreTable*>(cursors_))
            table->Close();
    } catch (...) {
        disconnecting_ = false;
        throw;
    }
    disconnecting_ = false;
    cursors_.clear();
    file_.reset();
    useCount_ = 0;
    if (AfterDisconnect) AfterDisconnect(*this);
}

TStoreFileIO& TStoreDatabase::FileIO() const {
    if (!file_) throw EStoreError("Cannot perform this operation on a closed database");
    return *file_;
}

std::vector<std::string> TStoreDatabase::TableNames() const {
    TStoreFileIO& file = FileIO();
    std::vector<std::string> names;
    for (int i = 0; i < file.TableCount(); ++i)
        names.push_back(file.TableName(i));
    return names;
}

bool TStoreDatabase::AccessGranted() const {
    return file_ && file_->AccessGranted();
}

void TStoreDatabase::CheckAccess() {
    TStoreFileIO& file = FileIO();
    if (file.AccessGranted()) return;
    if (session_)
        for (const std::string& candidate : session_->Passwords())
            if (file.TryPassword(candidate)) return;
    if (!password_.empty()) {
        if (file.TryPassword(password_)) return;
    } else {
        const TStoreLoginPrompt& prompt =
            onLogin_ ? onLogin_ : (session_ ? session_->OnLogin() : onLogin_);
        if (prompt) {
            std::string typed;
            if (!prompt(StoreName(), typed)) throw EStoreAbort();
            if (file.TryPassword(typed)) return;
        }
    }
    throw EStoreError("Access denied");
}

void TStoreDatabase::AddCursor(TStoreTable* table) {
    if (std::find(cursors_.begin(), cursors_.end(), table) == cursors_.end())
        cursors_.push_back(table);
}

void TStoreDatabase::RemoveCursor(TStoreTable* table) {
    cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), table), cursors_.end());
}

} // namespace store
