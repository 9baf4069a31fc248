#include "store/table.h"

#include "store/database.h"
#include "store/store_error.h"
#include "store/store_file_io.h"

#include <algorithm>

namespace store {

TStoreTable::TStoreTable() = default;

TStoreTable::~TStoreTable() {
    try {
        if (Active()) {
            // A pending change is dropped, never written behind the caller's back.
            if (state_ != TDataSetState::Browse) Cancel();
            Close();
        }
    } catch (...) {
        // Destruction must not throw; the file is left as the last successful call left it.
    }
    if (master_) {
        auto& d = master_->details_;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
    }
    for (TStoreTable* detail : details_)
        detail->master_ = nullptr;
}

void TStoreTable::RequireClosed() const {
    if (Active()) throw EStoreError("Cannot perform this operation on an open dataset");
}

void TStoreTable::RequireOpen() const {
    if (!Active()) throw EStoreError("Cannot perform this operation on a closed dataset");
}

void TStoreTable::RequireWritable() const {
    if (readOnly_ || io_->File().ReadOnly()) throw EStoreError("Cannot modify a read-only dataset");
}

void TStoreTable::SetDatabaseName(const std::string& name) {
    RequireClosed();
    databaseName_ = name;
    tableName_.clear();
    indexName_.clear();
}

void TStoreTable::SetSessionName(const std::string& name) {
    RequireClosed();
    sessionName_ = name;
}

void TStoreTable::SetTableName(const std::string& name) {
    RequireClosed();
    tableName_ = name;
}

void TStoreTable::SetMedium(TStoreMedium medium) {
    RequireClosed();
    medium_ = medium;
}

void TStoreTable::SetReadOnly(bool on) {
    RequireClosed();
    readOnly_ = on;
}

const TRecordLayout& TStoreTable::Layout() const {
    RequireOpen();
    return io_->Layout();
}

void TStoreTable::Open() {
    if (Active()) return;
    std::lock_guard guard(StoreSessionLock());
    TStoreSession& session = TStoreSession::Get(sessionName_);
    TStoreDatabase& db = session.OpenDatabase(databaseName_, medium_);
    TStoreTableIO* io = nullptr;
    try {
        db.CheckAccess();
        TStoreFileIO& file = db.FileIO();
        if (file.FindTable(tableName_) < 0)
            throw EStoreError(FormatMessage("Table '%s' not found", tableName_.c_str()));
        io = &file.Table(tableName_);
        io->Open();
        io_ = io;
        state_ = TDataSetState::Browse;
        fields_.clear();
        for (int i = 0; i < static_cast<int>(io->Layout().fields.size()); ++i)
            fields_.push_back(
                std::make_unique<TStoreField>(*this, i, io->Layout().fields[size_t(i)].type));
        empty_ = io->NewRecord();
        current_ = io->NewRecord();
        database_ = &db;
        BuildList();
    } catch (...) {
        fields_.clear();
        list_.clear();
        state_ = TDataSetState::Inactive;
        database_ = nullptr;
        io_ = nullptr;
        if (io) io->Release();
        session.CloseDatabase(db);
        throw;
    }
    db.AddCursor(this);
    pos_ = list_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = list_.empty();
    currentLoaded_ = false;
    modified_ = false;
    NotifyDetails();
}

void TStoreTable::Close() {
    if (!Active()) return;
    std::lock_guard guard(StoreSessionLock());
    state_ = TDataSetState::Inactive;
    modified_ = false;
    edit_ = TRecordBuffer();
    current_ = TRecordBuffer();
    empty_ = TRecordBuffer();
    list_.clear();
    fields_.clear();
    fieldNames_.clear();
    fieldHint_ = 0;
    ahead_ = TReadAhead();
    lastRead_ = -1;
    pos_ = -1;
    eof_ = bof_ = true;
    TStoreDatabase* db = database_;
    database_ = nullptr;
    TStoreTableIO* io = io_;
    io_ = nullptr;
    io->Release();
    db->RemoveCursor(this);
    // While the database disconnects it closes its cursors itself and resets its use count.
    if (!db->Disconnecting() && db->Session()) db->Session()->CloseDatabase(*db);
    NotifyDetails();
}

void TStoreTable::CheckBrowseMode() {
    RequireOpen();
    if (state_ == TDataSetState::Browse) return;
    if (modified_)
        Post();
    else
        Cancel();
}

int TStoreTable::RecordCount() const {
    return Active() ? static_cast<int>(list_.size()) : 0;
}

int TStoreTable::RecNo() const {
    if (!Active() || list_.empty()) return 0;
    return pos_ < 0 ? 1 : pos_ + 1;
}

void TStoreTable::SetRecNo(int number) {
    RequireOpen();
    if (number < 1 || number > static_cast<int>(list_.size())) return;
    CheckBrowseMode();
    MoveTo(number - 1);
}

void TStoreTable::MoveTo(int position) {
    pos_ = position;
    eof_ = bof_ = false;
    currentLoaded_ = false;
    NotifyDetails();
}

void TStoreTable::First() {
    CheckBrowseMode();
    pos_ = list_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = list_.empty();
    currentLoaded_ = false;
    NotifyDetails();
}

void TStoreTable::Last() {
    CheckBrowseMode();
    pos_ = static_cast<int>(list_.size()) - 1;
    eof_ = true;
    bof_ = list_.empty();
    currentLoaded_ = false;
    NotifyDetails();
}

void TStoreTable::Next() {
    CheckBrowseMode();
    if (pos_ + 1 < static_cast<int>(list_.size())) {
        MoveTo(pos_ + 1);
    } else {
        eof_ = true;
        if (list_.empty()) bof_ = true;
    }
}

void TStoreTable::Prior() {
    CheckBrowseMode();
    if (pos_ > 0) {
        MoveTo(pos_ - 1);
    } else {
        bof_ = true;
        if (list_.empty()) eof_ = true;
    }
}

int TStoreTable::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    while (distance > 0 && !eof_) {
        int before = pos_;
        Next();
        if (pos_ != before) ++moved;
        --distance;
    }
    while (distance < 0 && !bof_) {
        int before = pos_;
        Prior();
        if (pos_ != before) --moved;
        ++distance;
    }
    return moved;
}

TStoreField* TStoreTable::FindField(const std::string& name) {
    RequireOpen();
    // Programs read a record's fields in the same order for every record: the name after the
    // last one found is tried first.
    const size_t known = fieldNames_.size();
    for (size_t k = 0; k < known; ++k) {
        size_t at = fieldHint_ + k < known ? fieldHint_ + k : fieldHint_ + k - known;
        if (fieldNames_[at].first == name) {
            fieldHint_ = at + 1 < known ? at + 1 : 0;
            return fields_[static_cast<size_t>(fieldNames_[at].second)].get();
        }
    }
    int i = io_->Layout().FindField(name);
    if (i >= 0 && known < 4 * fields_.size()) {
        fieldNames_.emplace_back(name, i);
        fieldHint_ = 0;
    }
    return i < 0 ? nullptr : fields_[static_cast<size_t>(i)].get();
}

TStoreField& TStoreTable::FieldByName(const std::string& name) {
    TStoreField* field = FindField(name);
    if (!field) throw EStoreError(FormatMessage("Field '%s' not found", name.c_str()));
    return *field;
}

void TStoreTable::LoadCurrent() {
    if (currentLoaded_) return;
    const int size = static_cast<int>(list_.size());
    if (pos_ >= 0 && pos_ < size) {
        const int step = pos_ < lastRead_ ? -1 : 1;
        const int ahead = step > 0 ? size - pos_ : pos_ + 1;
        io_->ReadRecordAhead(&list_[static_cast<size_t>(pos_)], ahead, step, current_, ahead_);
        lastRead_ = pos_;
    } else {
        current_.Clear();
    }
    currentLoaded_ = true;
}

const TRecordBuffer& TStoreTable::ReadBuffer() {
    RequireOpen();
    if (filterRecord_) return *filterRecord_;
    if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) return edit_;
    if (pos_ < 0 || pos_ >= static_cast<int>(list_.size())) return empty_;
    LoadCurrent();
    return current_;
}

TRecordBuffer& TStoreTable::WriteBuffer() {
    RequireOpen();
    if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
        throw EStoreError("Dataset not in edit or insert mode");
    modified_ = true;
    return edit_;
}

const std::string& TStoreTable::BlobContent(int field) {
    auto& buf = const_cast<TRecordBuffer&>(ReadBuffer());
    if (!buf.BlobLoaded(field)) io_->LoadBlob(buf, field);
    return buf.GetBlob(field);
}

} // namespace store
