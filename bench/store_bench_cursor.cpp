#include "bench/store_bench_cursor.h"

#include "store/table.h"

#include <chrono>

namespace {

double secondsSince(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Every field of every record, read as text by name the way the pages read them. Its own
// function so that its instructions can be counted alone
// (valgrind --tool=callgrind --toggle-collect='*scanByName*').
[[gnu::noinline]] size_t scanByName(store::TStoreTable& t, const std::vector<std::string>& names,
                                    int& records) {
    size_t checksum = 0;
    for (t.First(); !t.Eof(); t.Next(), ++records)
        for (const std::string& name : names)
            checksum += t.FieldByName(name).AsString().size();
    return checksum;
}

} // namespace

CursorFigures RunCursor(const std::string& path, const std::string& table,
                        const std::vector<int>& keys, const std::vector<std::string>& texts) {
    CursorFigures f;
    store::TStoreTable t;
    t.SetDatabaseName(path);
    t.SetTableName(table);
    t.Open();
    std::vector<std::string> names;
    for (int i = 0; i < t.FieldCount(); ++i)
        names.push_back(t.Fields(i).FieldName());

    auto start = std::chrono::steady_clock::now();
    int records = 0;
    const size_t checksum = scanByName(t, names, records);
    f.scan = records / secondsSince(start);

    start = std::chrono::steady_clock::now();
    for (int key : keys)
        f.found += t.Locate("key", std::to_string(key));
    f.keyLocate = static_cast<double>(keys.size()) / secondsSince(start);

    start = std::chrono::steady_clock::now();
    for (const std::string& text : texts)
        f.found += t.Locate("fname", text);
    f.textLocate = static_cast<double>(texts.size()) / secondsSince(start);
    t.Close();
    f.checksum = checksum;
    return f;
}
