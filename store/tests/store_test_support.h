#pragma once
// Shared helpers of the storage tests: a temporary folder per test and small table layouts.

#include "store/store_file_create.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace store::test {

// A fresh folder under the system's temporary folder, removed with the fixture.
class TempDirTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    oxbrook::testing::TempDir temp_;
    const std::filesystem::path& dir_ = temp_.path();
};

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline int32_t I32At(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int32_t>(uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 |
                                uint32_t(b.at(at + 2)) << 16 | uint32_t(b.at(at + 3)) << 24);
}

inline void PutI32At(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

// One table "items": id (auto-increment), name (text 20), num (integer), flag (boolean),
// data (blob); indexes as given.
inline TStoreFileDef ItemsDef(std::vector<TIndexDef> indexes = {}) {
    TStoreFileDef def;
    TTableDef& t = def.tables.emplace_back();
    t.name = "items";
    t.fields = {{"id", ftAutoInc},
                {"name", ftString, 20},
                {"num", ftInteger},
                {"flag", ftBoolean},
                {"data", ftBlob}};
    t.indexes = std::move(indexes);
    return def;
}

// Offset of the first table header in a new file.
constexpr size_t kFirstTable = 3821;

// Names of the records of a list, read field "name".
inline std::vector<std::string> Names(TStoreTableIO& t, int list) {
    std::vector<std::string> out;
    TRecordBuffer buf = t.NewRecord();
    int field = t.Layout().FindField("name");
    for (int i = 0; i < static_cast<int>(t.List(list).size()); ++i) {
        t.ReadRecord(list, i, buf);
        out.push_back(buf.GetText(field));
    }
    return out;
}

} // namespace store::test
