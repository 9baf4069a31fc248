#pragma once
// The table cursor's rows of the store benchmark: the same scan and locates as the storage
// rows, done the way the program does them (TStoreTable, fields by name, Locate).

#include <string>
#include <vector>

struct CursorFigures {
    double scan = 0;       // records per second, every field read as text by name
    double keyLocate = 0;  // Locate on the indexed auto-increment field, per second
    double textLocate = 0; // Locate on a text field without an index, per second
    int found = 0;         // how many of the locates found their record
    size_t checksum = 0;   // bytes read by the scan, so that the reads cannot be left out
};

// Opens `table` of the store at `path` through a cursor and measures. Requires the history
// table of the benchmark (fields "key" and "fname").
CursorFigures RunCursor(const std::string& path, const std::string& table,
                        const std::vector<int>& keys, const std::vector<std::string>& texts);
