#pragma once
// A plain description of a store file to create: its options and its tables with their fields
// and indexes. Callers fill it in code, then hand it to CreateStoreFile or CreateStoreImage
// (store_file_create.h).
//
// Example:
//   TStoreFileDef def;
//   TTableDef& t = def.tables.emplace_back();
//   t.name = "ftpsite";
//   t.fields = {{"id", ftAutoInc}, {"name", ftString, 100}, {"port", ftInteger}};
//   t.indexes = {{"byid", tiPrimary, {"id"}}};
//   CreateStoreFile(path, def);

#include "store/field_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store {

// Limits of the file format.
constexpr int kMaxTables = 256;
constexpr int kMaxFields = 96;
constexpr int kMaxIndexes = 8;
constexpr int kMaxIndexFields = 8;
constexpr int kMaxNameLength = 32;

// One field: its name (at most 32 characters), type code, size (maximum number of characters
// of a text field; ignored for other types) and processing mode (0: takes part in the file's
// compression and encryption; any other value: stored as it is).
struct TFieldDef {
    std::string name;
    TFieldType type = ftInteger;
    int32_t size = 0;
    uint8_t mode = 0;
};

// One index: its name, option bits (TIndexOption, or-ed) and the names of its 1 to 8 key
// fields in key order (names are matched without regard to letter case).
struct TIndexDef {
    std::string name;
    uint8_t options = 0;
    std::vector<std::string> fields;
};

// One table: its name, its fields in record order (1 to 96) and its indexes (0 to 8).
struct TTableDef {
    std::string name;
    std::vector<TFieldDef> fields;
    std::vector<TIndexDef> indexes;
};

// The options block of a store file. An unprotected file leaves every flag off.
struct TStoreOptions {
    bool compressBlobs = false;
    uint8_t compressLevel = 0;
    std::string compressAlgorithm = "ZIP";
    bool encrypt = false;
    uint8_t encryptMode = 0;
    std::string encryptAlgorithm;
    bool verifyCrc = false;
    // Text form of the password's digest; empty when the file does not encrypt.
    std::string passwordHash;
};

// A whole store file: options and tables (0 to 256), in table order.
struct TStoreFileDef {
    TStoreOptions options;
    std::vector<TTableDef> tables;
};

} // namespace store
