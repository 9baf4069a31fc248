#pragma once
// The table cursor: opens one table of a database, moves over its records in physical or index
// order, reads and writes fields by name, adds, changes and deletes records, locates them, and
// narrows its list by filter, range or master record.

#include "store/field.h"
#include "store/filter_expr.h"
#include "store/record_buffer.h"
#include "store/session.h"
#include "store/store_table_io.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace store {

class TStoreDatabase;

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// Options of Locate and Lookup.
struct TLocateOptions {
    bool caseInsensitive = false;
    // Text keys match a stored text that begins with them.
    bool partialKey = false;
};

// A record's identity for going back to it: its slot number.
using TStoreBookmark = int32_t;

class TStoreTable {
public:
    TStoreTable();
    // Closes the cursor (a pending edit is dropped).
    ~TStoreTable();
    TStoreTable(const TStoreTable&) = delete;
    TStoreTable& operator=(const TStoreTable&) = delete;

    // Settings; each requires a closed cursor ("Cannot perform this operation on an open
    // dataset"). Setting the database name clears the table and index names.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);
    const std::string& SessionName() const { return sessionName_; }
    void SetSessionName(const std::string& name);
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);
    TStoreMedium Medium() const { return medium_; }
    void SetMedium(TStoreMedium medium);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);
    // The index giving the order; may be changed while open (the list is rebuilt and the
    // cursor stands on the first record).
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name);

    // Open: database resolved through the session, access check, table found
    // ("Table '%s' not found"), fields made, order chosen, filter applied, cursor on the first
    // record. Opening an open cursor does nothing. Raises the database's and storage errors,
    // EStoreAbort when the login prompt is cancelled; the cursor then stays closed.
    void Open();
    // Drops a pending edit, the list and the fields; lowers the database's use count. Closing
    // a closed cursor does nothing.
    void Close();
    bool Active() const { return state_ != TDataSetState::Inactive; }
    TDataSetState State() const { return state_; }
    // The database the open cursor works on, or nullptr while closed.
    TStoreDatabase* Database() const { return database_; }

    // Navigation. Pending changes are posted first. Requires an open cursor ("Cannot perform
    // this operation on a closed dataset").
    void First();
    void Next();
    void Prior();
    void Last();
    // Moves by distance records; returns how far it moved.
    int MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    // Number of records in the cursor's list.
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    // Position + 1; 1 before the first record of a non-empty list; 0 for an empty list.
    int RecNo() const;
    // Moves to that record number when it is between 1 and the count; otherwise nothing.
    void SetRecNo(int number);

    // Fields of the open table in stored order.
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TStoreField& Fields(int i) { return *fields_.at(i); }
    // Returns the field of that name (letter case ignored); raises "Field '%s' not found".
    TStoreField& FieldByName(const std::string& name);
    // Returns the field of that name or nullptr.
    TStoreField* FindField(const std::string& name);

    // Editing. Edit on an empty table begins a new record as Insert does. Append and Insert
    // begin a new record (dates and times start at the present) that Post adds at the end of
    // the table; after Post the new record is the current one. Post in edit state rewrites
    // the record in place. Cancel drops the pending change. Delete removes the current record
    // and leaves the cursor on the following one, or on the new last. A change raises
    // "Cannot modify a read-only dataset" on a read-only cursor or file; Delete on an empty
    // list raises "No records".
    void Edit();
    void Append();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    // Removes every record (a pending change is posted first).
    void EmptyTable();
    // True in edit or insert state after a field was written.
    bool Modified() const { return modified_; }

    // Locate moves to the first record in list order whose fields (names joined by ";") equal
    // the values, one per field; returns false (cursor unmoved) when there is none. Lookup
    // finds the same record without moving and returns the values of resultFields (names
    // joined by ";") as text, or an empty vector when nothing is found.
    bool Locate(const std::string& keyFields, const std::vector<std::string>& values,
                TLocateOptions options = {});
    bool Locate(const std::string& keyFields, std::initializer_list<std::string> values,
                TLocateOptions options = {}) {
        return Locate(keyFields, std::vector<std::string>(values), options);
    }
    bool Locate(const std::string& keyFields, const std::string& value,
                TLocateOptions options = {}) {
        return Locate(keyFields, std::vector<std::string>{value}, options);
    }
    std::vector<std::string> Lookup(const std::string& keyFields,
                                    const std::vector<std::string>& values,
                                    const std::string& resultFields);

    // Bookmarks: the current record's slot ("No records" without one); going to a bookmark
    // not in the list raises "Bookmark not found". Compare orders by list position.
    TStoreBookmark GetBookmark() const;
    void GotoBookmark(TStoreBookmark bookmark);
    bool BookmarkValid(TStoreBookmark bookmark) const;
    int CompareBookmarks(TStoreBookmark a, TStoreBookmark b) const;

    // Rebuilds the list from the table's lists in memory (order, range and filter applied
    // again), keeping the current record when it is still there. The file is not re-read.
    void Refresh();

    // Filters. The text is parsed when set (parse errors are raised then); the filter applies
    // while Filtered is on. The record event may refuse records too.
    const std::string& Filter() const { return filterText_; }
    void SetFilter(const std::string& text);
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool on);
    const TFilterOptions& FilterOptions() const { return filterOptions_; }
    void SetFilterOptions(const TFilterOptions& options);
    std::function<bool(TStoreTable&)> OnFilterRecord;
    // Moves to the first, next, prior or last record satisfying the filter text and the
    // filter event, whether or not Filtered is on; returns whether one was found.
    bool FindFirst();
    bool FindNext();
    bool FindPrior();
    bool FindLast();

    // Ranges over the chosen index: keys given as texts for the leading index fields.
    // Without an index order: "No index currently active".
    void SetRange(const std::vector<std::string>& startKey, const std::vector<std::string>& endKey);
    void CancelRange();

    // Master-detail: this cursor keeps the records of its index whose leading key fields equal
    // the master's current values of masterFields (names joined by ";"). Linking to a cursor
    // that depends on this one raises "Circular datalinks are not allowed".
    void SetMasterSource(TStoreTable* master);
    TStoreTable* MasterSource() const { return master_; }
    void SetMasterFields(const std::string& fields);
    const std::string& MasterFields() const { return masterFields_; }

    // Blob access for TStoreBlobStream and field objects.
    const TRecordBuffer& ReadBuffer();
    TRecordBuffer& WriteBuffer();
    const std::string& BlobContent(int field);
    const TRecordLayout& Layout() const;

private:
    void RequireClosed() const;
    void RequireOpen() const;
    void RequireWritable() const;
    void CheckBrowseMode();
    int ChooseOrder() const;
    void BuildList();
    void Rebuild();
    // Applies a change of order, filter, range or master settings and rebuilds the list; when
    // that fails, settings and list are put back as they were and the error passed on.
    template <typename Change> void Reorder(Change&& change);
    void LimitToKeys(const std::vector<std::string>& startKey,
                     const std::vector<std::string>& endKey);
    bool Narrowed() const;
    bool TestRecord(const TRecordRef& ref, TRecordBuffer& scratch);
    void MoveTo(int position);
    void LoadCurrent();
    void NewRecordBuffer();
    int PlaceRecord(int32_t slot, int fullPosition);
    int FindInList(int32_t slot) const;
    int PositionOf(int32_t slot) const;
    std::vector<int> ResolveFields(const std::string& names);
    int FindMatch(const std::vector<int>& fields, const TRecordBuffer& key,
                  const TLocateOptions& options);
    bool RecordMatches(const TRecordRef& ref, const std::vector<int>& fields,
                       const TRecordBuffer& key, const TLocateOptions& options,
                       TRecordBuffer& scratch);
    bool FindFiltered(int from, int step);
    bool DependsOn(const TStoreTable* other) const;
    void NotifyDetails();

    std::string databaseName_;
    std::string sessionName_;
    std::string tableName_;
    std::string indexName_;
    TStoreMedium medium_ = mtDisk;
    bool readOnly_ = false;

    TDataSetState state_ = TDataSetState::Inactive;
    TStoreDatabase* database_ = nullptr;
    TStoreTableIO* io_ = nullptr;
    int listNo_ = 0;
    TRecordList list_;
    int pos_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    TRecordBuffer current_;
    bool currentLoaded_ = false;
    TReadAhead ahead_;
    int lastRead_ = -1; // list position of the last record read, for the direction of moves
    // Field numbers by the exact name asked for: programs ask by the same names per record.
    std::vector<std::pair<std::string, int>> fieldNames_;
    size_t fieldHint_ = 0;
    TRecordBuffer edit_;
    bool modified_ = false;
    std::vector<std::unique_ptr<TStoreField>> fields_;
    TRecordBuffer empty_;
    TRecordBuffer* filterRecord_ = nullptr;
    bool bytewise_ = false;

    std::string filterText_;
    std::shared_ptr<const TFilterExpr> filterExpr_;
    bool filtered_ = false;
    TFilterOptions filterOptions_;

    bool rangeOn_ = false;
    std::vector<std::string> rangeStart_, rangeEnd_;

    TStoreTable* master_ = nullptr;
    std::string masterFields_;
    std::vector<TStoreTable*> details_;
};

} // namespace store
