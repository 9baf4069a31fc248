#pragma once
// The "log" table written by the crash writer and checked by the kill test: its description
// and the content each record number gets.

#include "store/record_buffer.h"
#include "store/table_def.h"

#include <string>

namespace store {

inline TStoreFileDef LogDef() {
    TStoreFileDef def;
    TTableDef& t = def.tables.emplace_back();
    t.name = "log";
    t.fields = {{"id", ftAutoInc}, {"key", ftString, 12}, {"num", ftInteger}, {"payload", ftBlob}};
    t.indexes = {{"byid", tiPrimary, {"id"}}, {"bykey", 0, {"key"}}};
    return def;
}

// Keys jump around so that appends land at the start, middle and end of the key order.
inline std::string LogKey(int n) {
    unsigned h = static_cast<unsigned>(n) * 2654435761u;
    return "k" + std::to_string(h % 100000);
}

inline std::string LogPayload(int n) {
    std::string s(static_cast<size_t>((n * 37) % 300), '\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char>('a' + (n + static_cast<int>(i)) % 26);
    return s;
}

inline void FillLogRecord(TRecordBuffer& r, int n) {
    r.Clear();
    r.SetText(1, LogKey(n));
    r.SetInteger(2, n);
    r.SetBlob(3, LogPayload(n));
}

} // namespace store
