#pragma once
// The tables and fields of the program's two store files, defined once. The data module opens
// them by these names; start-up and the store tool create a missing store from them.

#include <cstdint>
#include <string>
#include <vector>

#include "store/field_types.h"
#include "store/table_def.h"

namespace schema {

// One stored field: its name, store type and (for text) maximum number of characters.
struct FieldDesc {
    const char* name;
    store::TFieldType type;
    int32_t size;
};

// One table with its fields in stored order.
struct TableDesc {
    const char* name;
    std::vector<FieldDesc> fields;
};

// The kinds of store file the program keeps.
enum class StoreKind { Main, Bookmark };

// File names of the two stores, beside the program.
inline constexpr const char* kMainStoreFile = "all.dat";
inline constexpr const char* kBookmarkStoreFile = "FTPBookmark.dat";

// Returns the tables of "all.dat" in directory order.
const std::vector<TableDesc>& MainTables();

// Returns the tables of "FTPBookmark.dat" (the one `bookmark` table).
const std::vector<TableDesc>& BookmarkTables();

// Returns the tables of the given kind of store.
const std::vector<TableDesc>& TablesOf(StoreKind kind);

// Returns the store description (options off, every table of `kind`) to create a file from.
store::TStoreFileDef StoreDefinition(StoreKind kind);

// Returns the table of that name (case-insensitive) in either store, or nullptr.
const TableDesc* FindTable(const std::string& name);

// Writes a new store file at `path` with every table of `kind` and its default records.
// Requires: no file exists at `path`. Raises store::EStoreError when one exists ("Cannot
// create file %s: it exists already") or when writing fails; a half-made file is removed.
void CreateStore(const std::string& path, StoreKind kind);

// Adds to the existing store at `path` the tables of `kind` it lacks (stores written before a
// table was added), empty. Raises store::EStoreError when the file cannot be changed.
void AddMissingTables(const std::string& path, StoreKind kind);

} // namespace schema
