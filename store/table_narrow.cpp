// How a cursor's list is made: the chosen order, then the range or master limits, then the
// filter; and the operations that change those settings.

#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/table.h"

#include <algorithm>

namespace store {

namespace {

// Gives the filter evaluator a record's values by field name.
class RecordAccess : public TFilterFieldAccess {
public:
    RecordAccess(TStoreTableIO& io, TRecordBuffer& buf, int64_t count)
        : io_(io), buf_(buf), count_(count) {}

    bool fieldValue(const std::string& name, TFilterValue& value) const override {
        int f = io_.Layout().FindField(name);
        if (f < 0) return false;
        TFieldType t = buf_.FieldType(f);
        if (IsTextType(t)) {
            value = buf_.GetText(f);
        } else if (IsBlobType(t)) {
            if (!buf_.BlobLoaded(f)) io_.LoadBlob(buf_, f);
            value = buf_.GetBlob(f);
        } else if (t == ftBoolean) {
            value = buf_.GetBoolean(f);
        } else if (t == ftFloat || t == ftCurrency) {
            value = buf_.GetFloat(f);
        } else if (t == ftDate) {
            value = TFilterDateTime{int64_t(buf_.GetDate(f)) * kMsPerDay};
        } else if (t == ftTime) {
            value = TFilterDateTime{int64_t(buf_.GetTime(f))};
        } else if (t == ftDateTime) {
            value = TFilterDateTime{static_cast<int64_t>(buf_.GetDateTime(f))};
        } else {
            value = buf_.GetLargeint(f);
        }
        return true;
    }
    int64_t recordCount() const override { return count_; }

private:
    TStoreTableIO& io_;
    TRecordBuffer& buf_;
    int64_t count_;
};

} // namespace

bool TStoreTable::Narrowed() const {
    return filtered_ || rangeOn_ || (master_ && !masterFields_.empty());
}

int TStoreTable::ChooseOrder() const {
    int byName = indexName_.empty() ? -1 : io_->FindIndex(indexName_);
    if (byName >= 0) return byName + 1;
    const auto& indexes = io_->Indexes();
    for (size_t i = 0; i < indexes.size(); ++i)
        if (indexes[i].options & tiPrimary) return static_cast<int>(i) + 1;
    return 0;
}

bool TStoreTable::TestRecord(const TRecordRef& ref, TRecordBuffer& scratch) {
    io_->ReadRecord(ref, scratch);
    if (filterExpr_) {
        RecordAccess access(*io_, scratch, static_cast<int64_t>(list_.size()));
        if (!filterExpr_->matches(access, filterOptions_)) return false;
    }
    if (OnFilterRecord) {
        // The event reads fields through this cursor: show it the record under test.
        filterRecord_ = &scratch;
        bool accepted = false;
        try {
            accepted = OnFilterRecord(*this);
        } catch (...) {
            filterRecord_ = nullptr;
            throw;
        }
        filterRecord_ = nullptr;
        return accepted;
    }
    return true;
}

void TStoreTable::LimitToKeys(const std::vector<std::string>& startKey,
                              const std::vector<std::string>& endKey) {
    const TIndexInfo& index = io_->Indexes().at(listNo_ - 1);
    auto keyOf = [&](const std::vector<std::string>& values) {
        TRecordBuffer key = io_->NewRecord();
        size_t n = std::min(values.size(), index.fields.size());
        for (size_t i = 0; i < n; ++i)
            SetFieldText(key, index.fields[i], values[i]);
        return std::make_pair(key, static_cast<int>(n));
    };
    auto [low, lowCount] = keyOf(startKey);
    auto [high, highCount] = keyOf(endKey);
    int first = lowCount == 0 ? 0 : io_->LowerBound(listNo_ - 1, low, lowCount);
    int last = highCount == 0 ? static_cast<int>(list_.size()) - 1
                              : io_->UpperBound(listNo_ - 1, high, highCount);
    if (first > last) {
        list_.clear();
        return;
    }
    list_ = TRecordList(list_.begin() + first, list_.begin() + last + 1);
}

void TStoreTable::BuildList() {
    listNo_ = ChooseOrder();
    list_ = io_->List(listNo_);
    if (rangeOn_) {
        if (listNo_ == 0) throw EStoreError("No index currently active");
        LimitToKeys(rangeStart_, rangeEnd_);
    }
    if (master_ && !masterFields_.empty() && master_->Active()) {
        if (listNo_ == 0) throw EStoreError("No index currently active");
        std::vector<std::string> key;
        for (int f : master_->ResolveFields(masterFields_))
            key.push_back(master_->Fields(f).AsString());
        LimitToKeys(key, key);
    }
    if (filtered_ && (filterExpr_ || OnFilterRecord)) {
        TStoreLockHold hold(io_->File());
        TRecordBuffer scratch = io_->NewRecord();
        TRecordList kept;
        for (const TRecordRef& ref : list_)
            if (TestRecord(ref, scratch)) kept.push_back(ref);
        list_ = std::move(kept);
    }
}

void TStoreTable::Refresh() {
    CheckBrowseMode();
    int32_t slot = (pos_ >= 0 && pos_ < static_cast<int>(list_.size())) ? list_[pos_].slot : -1;
    BuildList();
    int p = slot >= 0 ? FindInList(slot) : -1;
    if (p < 0) p = std::min(pos_, static_cast<int>(list_.size()) - 1);
    if (p < 0 && !list_.empty()) p = 0;
    pos_ = p;
    eof_ = bof_ = list_.empty();
    currentLoaded_ = false;
    NotifyDetails();
}

void TStoreTable::Rebuild() {
    if (!Active()) return;
    CheckBrowseMode();
    BuildList();
    First();
}

template <typename Change> void TStoreTable::Reorder(Change&& change) {
    if (Active()) CheckBrowseMode();
    auto filterText = filterText_;
    auto filterExpr = filterExpr_;
    auto filtered = filtered_;
    auto filterOptions = filterOptions_;
    auto rangeOn = rangeOn_;
    auto rangeStart = rangeStart_;
    auto rangeEnd = rangeEnd_;
    auto masterFields = masterFields_;
    auto indexName = indexName_;
    auto listNo = listNo_;
    auto list = list_;
    auto pos = pos_;
    auto eof = eof_;
    auto bof = bof_;
    try {
        change();
        Rebuild();
    } catch (...) {
        filterText_ = std::move(filterText);
        filterExpr_ = std::move(filterExpr);
        filtered_ = filtered;
        filterOptions_ = filterOptions;
        rangeOn_ = rangeOn;
        rangeStart_ = std::move(rangeStart);
        rangeEnd_ = std::move(rangeEnd);
        masterFields_ = std::move(masterFields);
        indexName_ = std::move(indexName);
        listNo_ = listNo;
        list_ = std::move(list);
        pos_ = pos;
        eof_ = eof;
        bof_ = bof;
        currentLoaded_ = false;
        throw;
    }
}

void TStoreTable::SetIndexName(const std::string& name) {
    Reorder([&] { indexName_ = name; });
}

void TStoreTable::SetFilter(const std::string& text) {
    std::shared_ptr<const TFilterExpr> parsed;
    if (text.find_first_not_of(" \t\r\n") != std::string::npos)
        parsed = std::make_shared<const TFilterExpr>(text);
    Reorder([&] {
        filterText_ = text;
        filterExpr_ = std::move(parsed);
    });
}

void TStoreTable::SetFiltered(bool on) {
    if (on == filtered_) return;
    Reorder([&] { filtered_ = on; });
}

void TStoreTable::SetFilterOptions(const TFilterOptions& options) {
    Reorder([&] { filterOptions_ = options; });
}

bool TStoreTable::FindFiltered(int from, int step) {
    CheckBrowseMode();
    TStoreLockHold hold(io_->File());
    TRecordBuffer scratch = io_->NewRecord();
    for (int p = from; p >= 0 && p < static_cast<int>(list_.size()); p += step) {
        if (TestRecord(list_[p], scratch)) {
            MoveTo(p);
            return true;
        }
    }
    return false;
}

bool TStoreTable::FindFirst() {
    return FindFiltered(0, 1);
}
bool TStoreTable::FindLast() {
    return FindFiltered(static_cast<int>(list_.size()) - 1, -1);
}
bool TStoreTable::FindNext() {
    return FindFiltered(pos_ + 1, 1);
}
bool TStoreTable::FindPrior() {
    return FindFiltered(pos_ - 1, -1);
}

void TStoreTable::SetRange(const std::vector<std::string>& startKey,
                           const std::vector<std::string>& endKey) {
    CheckBrowseMode();
    if (listNo_ == 0) throw EStoreError("No index currently active");
    Reorder([&] {
        rangeStart_ = startKey;
        rangeEnd_ = endKey;
        rangeOn_ = true;
    });
}

void TStoreTable::CancelRange() {
    if (!rangeOn_) return;
    Reorder([&] {
        rangeOn_ = false;
        rangeStart_.clear();
        rangeEnd_.clear();
    });
}

bool TStoreTable::DependsOn(const TStoreTable* other) const {
    for (const TStoreTable* t = this; t; t = t->master_)
        if (t == other) return true;
    return false;
}

void TStoreTable::SetMasterSource(TStoreTable* master) {
    if (master == master_) return;
    if (master && master->DependsOn(this)) throw EStoreError("Circular datalinks are not allowed");
    TStoreTable* previous = master_;
    auto link = [this](TStoreTable* to) {
        if (master_) {
            auto& d = master_->details_;
            d.erase(std::remove(d.begin(), d.end(), this), d.end());
        }
        master_ = to;
        if (master_) master_->details_.push_back(this);
    };
    link(master);
    try {
        Reorder([] {});
    } catch (...) {
        link(previous);
        throw;
    }
}

void TStoreTable::SetMasterFields(const std::string& fields) {
    Reorder([&] { masterFields_ = fields; });
}

void TStoreTable::NotifyDetails() {
    for (TStoreTable* detail : details_)
        if (detail->Active() && !detail->masterFields_.empty()) detail->Rebuild();
}

} // namespace store
