#pragma once
// Writing a new store file from a plain description (table_def.h): header, options block,
// table directory, and one empty table header per table.

#include "store/table_def.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store {

// Checks a description against the format's limits: 0 to 256 tables, 1 to 96 fields and 0 to
// 8 indexes per table, names of 1 to 32 characters and unique per kind (letter case ignored),
// storable field types, text sizes of 1 or more, index fields that exist (1 to 8). Raises
// EStoreError naming what is wrong.
void ValidateStoreFileDef(const TStoreFileDef& def);

// Returns the bytes of a new store file for the description (validated first).
std::vector<uint8_t> CreateStoreImage(const TStoreFileDef& def);

// Creates a new store file at path. Raises EStoreError when the description is invalid, when a
// file of that name exists already (an existing store is never overwritten) or when it cannot
// be written.
void CreateStoreFile(const std::string& path, const TStoreFileDef& def);

// Adds to the existing store file at path every table of `tables` it does not hold yet (names
// compared without letter case), each as an empty table whose header goes to the end of the
// file; the directory is written last, so a failure leaves the file as it was. Returns the number
// of tables added. Raises EStoreError for an invalid description, a full directory, or when the
// file cannot be opened or written. The file must not be open as a store meanwhile.
int AppendMissingTables(const std::string& path, const std::vector<TTableDef>& tables);

} // namespace store
