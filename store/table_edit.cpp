// Changing records through the cursor: new records, edits, posting, cancelling, deleting and
// emptying, with the cursor's list kept in step with the table's.

#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/table.h"

#include <unordered_map>

namespace store {

void TStoreTable::NewRecordBuffer() {
    edit_ = io_->NewRecord();
    TDateTime now = NowDateTime();
    for (int i = 0; i < edit_.FieldCount(); ++i) {
        TFieldType t = edit_.FieldType(i);
        if (t == ftDate || t == ftTime || t == ftDateTime) SetFieldDateTime(edit_, i, now);
    }
    modified_ = false;
}

void TStoreTable::Edit() {
    RequireOpen();
    if (state_ != TDataSetState::Browse) return;
    RequireWritable();
    if (list_.empty() || pos_ < 0) {
        NewRecordBuffer();
        state_ = TDataSetState::Insert;
        return;
    }
    LoadCurrent();
    edit_ = current_;
    modified_ = false;
    state_ = TDataSetState::Edit;
}

void TStoreTable::Append() {
    CheckBrowseMode();
    RequireWritable();
    NewRecordBuffer();
    state_ = TDataSetState::Insert;
}

void TStoreTable::Insert() {
    Append();
}

void TStoreTable::Cancel() {
    RequireOpen();
    if (state_ == TDataSetState::Browse) return;
    state_ = TDataSetState::Browse;
    modified_ = false;
    edit_ = TRecordBuffer();
}

int TStoreTable::FindInList(int32_t slot) const {
    for (size_t i = 0; i < list_.size(); ++i)
        if (list_[i].slot == slot) return static_cast<int>(i);
    return -1;
}

// Places a record that the storage layer has just put at fullPosition of the cursor's order
// (physical list or index list) into the cursor's own list, and returns its position there.
int TStoreTable::PlaceRecord(int32_t slot, int fullPosition) {
    const TRecordList& full = io_->List(listNo_);
    if (fullPosition < 0 || fullPosition >= static_cast<int>(full.size()) ||
        full[fullPosition].slot != slot) {
        fullPosition = -1;
        for (size_t i = 0; i < full.size(); ++i)
            if (full[i].slot == slot) fullPosition = static_cast<int>(i);
        if (fullPosition < 0) throw EStoreError("General error");
    }
    const TRecordRef ref = full[fullPosition];
    // The usual case: the cursor shows the whole table and nobody else changed it, so the two
    // lists agree position for position.
    if (!Narrowed() && list_.size() + 1 == full.size() &&
        fullPosition <= static_cast<int>(list_.size())) {
        list_.insert(list_.begin() + fullPosition, ref);
        return fullPosition;
    }
    // Otherwise the record goes behind the nearest record before it that the cursor shows.
    std::unordered_map<int32_t, int> where;
    for (size_t i = 0; i < list_.size(); ++i)
        where[list_[i].slot] = static_cast<int>(i);
    int at = 0;
    for (int p = fullPosition - 1; p >= 0; --p) {
        auto it = where.find(full[p].slot);
        if (it != where.end()) {
            at = it->second + 1;
            break;
        }
    }
    if (listNo_ == 0 && fullPosition == static_cast<int>(full.size()) - 1)
        at = static_cast<int>(list_.size());
    list_.insert(list_.begin() + at, ref);
    return at;
}

void TStoreTable::Post() {
    RequireOpen();
    if (state_ == TDataSetState::Browse) return;
    RequireWritable();
    const int orderIndex = listNo_ - 1;
    int notified = -1;
    TIndexNotify notify = [&](int index, int, int newPosition) {
        if (index == orderIndex) notified = newPosition;
    };
    const bool inserting = state_ == TDataSetState::Insert;
    int32_t slot = -1;
    if (inserting) {
        slot = io_->AppendRecord(edit_, notify);
    } else {
        slot = list_[pos_].slot;
        io_->ModifyRecord(slot, edit_, notify);
    }
    // The record is stored: from here on the cursor is back in browse state whatever happens,
    // so that a second Post can never store it twice.
    state_ = TDataSetState::Browse;
    modified_ = false;
    edit_ = TRecordBuffer();
    // Read back what was stored: the auto-increment value, cut texts, moved blob areas.
    currentLoaded_ = false;
    eof_ = bof_ = false;
    if (inserting) {
        int fullPosition = listNo_ == 0 ? static_cast<int>(io_->List(0).size()) - 1 : notified;
        pos_ = PlaceRecord(slot, fullPosition);
    } else if (listNo_ != 0 && notified >= 0) {
        list_.erase(list_.begin() + pos_);
        pos_ = PlaceRecord(slot, notified);
    }
    NotifyDetails();
}

void TStoreTable::Delete() {
    RequireOpen();
    if (state_ == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (state_ == TDataSetState::Edit) Cancel();
    RequireWritable();
    if (pos_ < 0 || pos_ >= static_cast<int>(list_.size())) throw EStoreError("No records");
    io_->DeleteRecord(list_[pos_].slot);
    list_.erase(list_.begin() + pos_);
    currentLoaded_ = false;
    bof_ = false;
    eof_ = false;
    if (list_.empty()) {
        pos_ = -1;
        eof_ = bof_ = true;
    } else if (pos_ >= static_cast<int>(list_.size())) {
        pos_ = static_cast<int>(list_.size()) - 1;
        eof_ = true;
    }
    NotifyDetails();
}

void TStoreTable::EmptyTable() {
    CheckBrowseMode();
    RequireWritable();
    io_->EmptyTable();
    list_.clear();
    pos_ = -1;
    eof_ = bof_ = true;
    currentLoaded_ = false;
    NotifyDetails();
}

} // namespace store
