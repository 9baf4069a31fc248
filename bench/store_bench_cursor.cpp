#include "bench/store_bench_cursor.h"

#include "store/table.h"

namespace {

// Every field of every record, read as text by name the way the pages read them. Its own
// function so that its instructions can be counted alone
// (valgrind --tool=callgrind --toggle-collect='*scanByName*').
[[gnu::noinline]] size_t scanByName(store::TStoreTable& t, const std::vector<std::string>& names) {
    size_t checksum = 0;
    for (t.First(); !t.Eof(); t.Next())
        for (const std::string& name : names)
            checksum += t.FieldByName(name).AsString().size();
    return checksum;
}

} // namespace

CursorReader::CursorReader(const std::string& path, const std::string& table)
    : table_(std::make_unique<store::TStoreTable>()) {
    table_->SetDatabaseName(path);
    table_->SetTableName(table);
    table_->Open();
    for (int i = 0; i < table_->FieldCount(); ++i)
        names_.push_back(table_->Fields(i).FieldName());
}

CursorReader::~CursorReader() {
    table_->Close();
}

size_t CursorReader::Scan() {
    return scanByName(*table_, names_);
}

bool CursorReader::Locate(const std::string& field, const std::string& value) {
    return table_->Locate(field, value);
}
