#pragma once
// The table cursor's side of the store benchmark: the same scan and locates as the storage
// layer's, done the way the program does them (TStoreTable, fields by name, Locate).

#include <memory>
#include <string>
#include <vector>

namespace store {
class TStoreTable;
}

// A cursor kept open on `table` of the store at `path`, for reads timed one by one.
class CursorReader {
public:
    CursorReader(const std::string& path, const std::string& table);
    ~CursorReader();
    CursorReader(const CursorReader&) = delete;
    CursorReader& operator=(const CursorReader&) = delete;
    // Reads every field of every record as text by name; returns the bytes read, so that the
    // reads cannot be left out.
    size_t Scan();
    bool Locate(const std::string& field, const std::string& value);

private:
    std::unique_ptr<store::TStoreTable> table_;
    std::vector<std::string> names_;
};
