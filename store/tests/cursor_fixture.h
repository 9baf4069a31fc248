#pragma once
// Shared set-up of the cursor tests: a private temporary folder and store files made in it.

#include "store/database.h"
#include "store/session.h"
#include "store/store_error.h"
#include "store/store_file_create.h"
#include "store/table.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace cursortest {

// A temporary folder removed with everything in it when the test ends.
class TempFolder {
public:
    std::string File(const std::string& name) const { return (temp_ / name).string(); }

private:
    oxbrook::testing::TempDir temp_;
};

// A history-like table without indexes and a table with an ascending index on `num`.
inline store::TStoreFileDef SampleDefinition() {
    using namespace store;
    TStoreFileDef def;
    TTableDef& plain = def.tables.emplace_back();
    plain.name = "items";
    plain.fields = {{"key", ftAutoInc},  {"name", ftString, 40}, {"num", ftInteger},
                    {"flag", ftBoolean}, {"big", ftLargeint},    {"ratio", ftFloat},
                    {"day", ftDate},     {"clock", ftTime},      {"stamp", ftDateTime},
                    {"note", ftMemo},    {"data", ftBlob}};
    TTableDef& indexed = def.tables.emplace_back();
    indexed.name = "ordered";
    indexed.fields = {{"id", ftAutoInc}, {"num", ftInteger}, {"name", ftString, 40}};
    indexed.indexes = {{"bynum", 0, {"num"}}, {"byname", tiCaseInsensitive, {"name"}}};
    return def;
}

// Fixture: a store "test.dat" with the sample tables in a fresh folder.
class CursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.File("test.dat");
        store::CreateStoreFile(path, SampleDefinition());
    }

    // Opens a cursor on a table of the test store through a temporary database.
    void OpenOn(store::TStoreTable& table, const std::string& name, const std::string& index = {}) {
        table.SetDatabaseName(path);
        table.SetTableName(name);
        table.SetIndexName(index);
        table.Open();
    }

    // Appends records to `items` with these names and numbers.
    void AddItems(std::initializer_list<std::pair<const char*, int>> rows) {
        store::TStoreTable t;
        OpenOn(t, "items");
        for (auto& [name, num] : rows) {
            t.Append();
            t.FieldByName("name").SetAsString(name);
            t.FieldByName("num").SetAsInteger(num);
            t.Post();
        }
        t.Close();
    }

    TempFolder folder;
    std::string path;
};

// Runs fn and returns the message of the store error it raises ("" when none is raised).
template <typename Fn> std::string ErrorOf(Fn&& fn) {
    try {
        fn();
    } catch (const store::EStoreError& e) {
        return e.what();
    }
    return {};
}

} // namespace cursortest
