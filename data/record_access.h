#pragma once
// What the data module's source files share: opening a table for one operation, reading and
// writing fields by their record members, and the table cursors the module owns. Internal to
// data/; the windows see only data_module.h.

#include "data/data_module.h"
#include "data/expected_failure.h"
#include "store/database.h"
#include "store/table.h"

#include <variant>

namespace data_detail {

using store::TStoreTable;

inline std::string toStore(const QString& text) {
    return text.toUtf8().toStdString();
}
inline QString fromStore(const std::string& text) {
    return QString::fromUtf8(text);
}

// Opens a table for one operation and closes it again however the operation ends, so that no
// table stays open between user actions.
class OpenedTable {
public:
    explicit OpenedTable(TStoreTable& table) : table_(table) { table_.Open(); }
    ~OpenedTable() {
        // Closing drops a pending change; a failure here must not hide the first error.
        IgnoreFailure("a close after a failed change must not hide that failure",
                      [&] { table_.Close(); });
    }
    OpenedTable(const OpenedTable&) = delete;
    OpenedTable& operator=(const OpenedTable&) = delete;

private:
    TStoreTable& table_;
};

inline QString text(TStoreTable& table, const char* field) {
    return fromStore(table.FieldByName(field).AsString());
}
inline int integer(TStoreTable& table, const char* field) {
    return table.FieldByName(field).AsInteger();
}
inline bool boolean(TStoreTable& table, const char* field) {
    return table.FieldByName(field).AsBoolean();
}
inline void setText(TStoreTable& table, const char* field, const QString& value) {
    table.FieldByName(field).SetAsString(toStore(value));
}
inline void setInteger(TStoreTable& table, const char* field, int value) {
    table.FieldByName(field).SetAsInteger(value);
}
inline void setBoolean(TStoreTable& table, const char* field, bool value) {
    table.FieldByName(field).SetAsBoolean(value);
}

// Reading and writing a field by the type of the record member it belongs to.
inline void getField(TStoreTable& table, const char* field, QString& value) {
    value = text(table, field);
}
inline void getField(TStoreTable& table, const char* field, int& value) {
    value = integer(table, field);
}
inline void getField(TStoreTable& table, const char* field, bool& value) {
    value = boolean(table, field);
}
inline void putField(TStoreTable& table, const char* field, const QString& value) {
    setText(table, field, value);
}
inline void putField(TStoreTable& table, const char* field, int value) {
    setInteger(table, field, value);
}
inline void putField(TStoreTable& table, const char* field, bool value) {
    setBoolean(table, field, value);
}

// Which store field holds which member of record type R; one list serves reading and writing,
// so the two cannot drift apart.
template <class R> struct FieldMap {
    const char* field;
    std::variant<QString R::*, int R::*, bool R::*> member;
};

template <class R>
inline void readFields(TStoreTable& t, R& record, const std::vector<FieldMap<R>>& map) {
    for (const FieldMap<R>& f : map)
        std::visit([&](auto member) { getField(t, f.field, record.*member); }, f.member);
}

template <class R>
inline void writeFields(TStoreTable& t, const R& record, const std::vector<FieldMap<R>>& map) {
    for (const FieldMap<R>& f : map)
        std::visit([&](auto member) { putField(t, f.field, record.*member); }, f.member);
}

} // namespace data_detail

struct TDataModule::Tables {
    store::TStoreDatabase mainDatabase;
    store::TStoreTable Tftpsite, Toption, Tproxy, Tsocks, Tantiidle, Tascext, Thm, Thd, Ttask,
        Ttaskd, Ttaskd2, Tquick, Teditor, Tftpb, Tsitesec, Ttrustcert;
};
