#include "store/database.h"
#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/table.h"

#include <locale>

namespace store {

std::vector<int> TStoreTable::ResolveFields(const std::string& names) {
    std::vector<int> fields;
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(';', start);
        if (end == std::string::npos) end = names.size();
        std::string name = names.substr(start, end - start);
        size_t a = name.find_first_not_of(' ');
        size_t b = name.find_last_not_of(' ');
        name = a == std::string::npos ? std::string() : name.substr(a, b - a + 1);
        if (!name.empty()) fields.push_back(FieldByName(name).Index());
        start = end + 1;
    }
    return fields;
}

// Finds a slot in the cursor's list; in physical order over the whole table the position is
// found by the table's binary search instead of a linear one.
int TStoreTable::PositionOf(int32_t slot) const {
    if (!Narrowed() && listNo_ == 0 && io_->List(0).size() == list_.size()) {
        int p = io_->PhysicalPosition(slot);
        if (p >= 0 && list_[p].slot == slot) return p;
    }
    return FindInList(slot);
}

namespace {

bool textLike(TFieldType t) {
    return IsTextType(t) || IsBlobType(t);
}

} // namespace

namespace {

// In the "C" locale collation is byte order, so equal texts are exactly the equal bytes and
// the collation call can be left out of a scan.
bool bytewiseCollation() {
    const std::string name = std::locale().name();
    return name == "C" || name == "POSIX";
}

} // namespace

bool TStoreTable::RecordMatches(const TRecordRef& ref, const std::vector<int>& fields,
                                const TRecordBuffer& key, const TLocateOptions& options,
                                TRecordBuffer& scratch) {
    io_->ReadRecord(ref, scratch);
    const TRecordLayout& layout = io_->Layout();
    for (int f : fields) {
        TFieldType t = layout.fields[f].type;
        if (textLike(t)) {
            if (IsBlobType(t)) io_->LoadBlob(scratch, f);
            std::string_view stored = IsBlobType(t) ? scratch.GetBlob(f) : scratch.TextView(f);
            std::string_view wanted = IsBlobType(t) ? key.GetBlob(f) : key.TextView(f);
            // Partial keys compare the stored text's beginning of the key's length.
            if (options.partialKey && stored.size() > wanted.size())
                stored = stored.substr(0, wanted.size());
            if (!options.caseInsensitive && (stored == wanted || bytewise_)) {
                if (stored != wanted) return false;
                continue;
            }
            if (CompareText(stored, wanted, options.caseInsensitive) != 0) return false;
        } else if (CompareFieldBytes(t, key.FieldBytes(f), scratch.FieldBytes(f), layout.sizes[f],
                                     options.caseInsensitive) != 0) {
            return false;
        }
    }
    return true;
}

int TStoreTable::FindMatch(const std::vector<int>& fields, const TRecordBuffer& key,
                           const TLocateOptions& options) {
    const TRecordLayout& layout = io_->Layout();
    if (!options.partialKey) {
        const auto& indexes = io_->Indexes();
        for (int i = 0; i < static_cast<int>(indexes.size()); ++i) {
            if (indexes[i].fields != fields) continue;
            bool anyText = false, anyBlob = false;
            for (int f : fields) {
                anyText = anyText || IsTextType(layout.fields[f].type);
                anyBlob = anyBlob || IsBlobType(layout.fields[f].type);
            }
            bool indexCi = (indexes[i].options & tiCaseInsensitive) != 0;
            if (anyBlob || (anyText && indexCi != options.caseInsensitive)) continue;
            int p = io_->FindKey(i, key);
            if (p < 0) return -1;
            int32_t slot = io_->List(i + 1)[p].slot;
            // Ordered by this very index and showing all of it: the position is the same.
            if (listNo_ == i + 1 && p < static_cast<int>(list_.size()) && list_[p].slot == slot)
                return p;
            return PositionOf(slot);
        }
    }
    bytewise_ = bytewiseCollation();
    TStoreLockHold hold(io_->File());
    TRecordBuffer scratch = io_->NewRecord();
    for (int f = 0; f < scratch.FieldCount(); ++f)
        scratch.SetActive(f, false);
    for (int f : fields)
        scratch.SetActive(f, true);
    for (size_t p = 0; p < list_.size(); ++p)
        if (RecordMatches(list_[p], fields, key, options, scratch)) return static_cast<int>(p);
    return -1;
}

namespace {

TRecordBuffer makeKey(TStoreTableIO& io, const std::vector<int>& fields,
                      const std::vector<std::string>& values) {
    if (values.size() != fields.size())
        throw EStoreError(FormatMessage("%d key values given for %d key fields",
                                        static_cast<int>(values.size()),
                                        static_cast<int>(fields.size())));
    TRecordBuffer key = io.NewRecord();
    for (size_t i = 0; i < fields.size(); ++i)
        SetFieldText(key, fields[i], values[i]);
    return key;
}

} // namespace

bool TStoreTable::Locate(const std::string& keyFields, const std::vector<std::string>& values,
                         TLocateOptions options) {
    CheckBrowseMode();
    std::vector<int> fields = ResolveFields(keyFields);
    TRecordBuffer key = makeKey(*io_, fields, values);
    int p = FindMatch(fields, key, options);
    if (p < 0) return false;
    MoveTo(p);
    return true;
}

std::vector<std::string> TStoreTable::Lookup(const std::string& keyFields,
                                             const std::vector<std::string>& values,
                                             const std::string& resultFields) {
    CheckBrowseMode();
    std::vector<int> fields = ResolveFields(keyFields);
    std::vector<int> results = ResolveFields(resultFields);
    TRecordBuffer key = makeKey(*io_, fields, values);
    int p = FindMatch(fields, key, {});
    if (p < 0) return {};
    TRecordBuffer record = io_->NewRecord();
    io_->ReadRecord(list_[p], record);
    std::vector<std::string> out;
    for (int f : results) {
        if (IsBlobType(record.FieldType(f))) io_->LoadBlob(record, f);
        out.push_back(GetFieldText(record, f));
    }
    return out;
}

TStoreBookmark TStoreTable::GetBookmark() const {
    RequireOpen();
    if (pos_ < 0 || pos_ >= static_cast<int>(list_.size())) throw EStoreError("No records");
    return list_[pos_].slot;
}

bool TStoreTable::BookmarkValid(TStoreBookmark bookmark) const {
    return Active() && FindInList(bookmark) >= 0;
}

void TStoreTable::GotoBookmark(TStoreBookmark bookmark) {
    CheckBrowseMode();
    int p = FindInList(bookmark);
    if (p < 0) throw EStoreError("Bookmark not found");
    MoveTo(p);
}

int TStoreTable::CompareBookmarks(TStoreBookmark a, TStoreBookmark b) const {
    int pa = Active() ? FindInList(a) : -1;
    int pb = Active() ? FindInList(b) : -1;
    if (pa >= 0 && pb >= 0) return pa < pb ? -1 : (pa > pb ? 1 : 0);
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace store
