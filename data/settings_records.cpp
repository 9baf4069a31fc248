// The settings tables of the main store: options, keep-alive commands, ASCII extensions,
// editors, proxies, SOCKS servers and quick connect's remembered servers.

#include "data/record_access.h"

#include <algorithm>

using namespace data_detail;

namespace {

const std::vector<FieldMap<OptionsRecord>> kOptionsFields = {
    {"eanti", &OptionsRecord::eanti},
    {"interval", &OptionsRecord::interval},
    {"transfermode", &OptionsRecord::transfermode},
    {"transferc", &OptionsRecord::transferc},
    {"recvb", &OptionsRecord::recvb},
    {"sendb", &OptionsRecord::sendb},
    {"appe", &OptionsRecord::appe},
    {"ifclear", &OptionsRecord::ifclear},
    {"temppath", &OptionsRecord::temppath},
};

const std::vector<FieldMap<ProxyRecord>> kProxyFields = {
    {"name", &ProxyRecord::name},         {"server", &ProxyRecord::server},
    {"port", &ProxyRecord::port},         {"login", &ProxyRecord::login},
    {"username", &ProxyRecord::username}, {"password", &ProxyRecord::password},
    {"type", &ProxyRecord::type},         {"typename", &ProxyRecord::typeName},
};

const std::vector<FieldMap<SocksRecord>> kSocksFields = {
    {"name", &SocksRecord::name},   {"host", &SocksRecord::host},     {"port", &SocksRecord::port},
    {"login", &SocksRecord::login}, {"user", &SocksRecord::user},     {"pass", &SocksRecord::pass},
    {"sv", &SocksRecord::sv},       {"svname", &SocksRecord::svname},
};

const std::vector<FieldMap<EditorPair>> kEditorFields = {
    {"ext", &EditorPair::ext},
    {"editor", &EditorPair::editor},
};

const std::vector<FieldMap<QuickServer>> kQuickFields = {
    {"ftp", &QuickServer::ftp},   {"port", &QuickServer::port}, {"user", &QuickServer::user},
    {"pass", &QuickServer::pass}, {"pasv", &QuickServer::pasv},
};

// Every record of `t` in table order.
template <class R> std::vector<R> loadAll(TStoreTable& t, const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    std::vector<R> out;
    for (t.First(); !t.Eof(); t.Next()) {
        R record;
        readFields(t, record, map);
        out.push_back(record);
    }
    return out;
}

// Empties `t` and appends `records` in order.
template <class R>
void replaceAll(TStoreTable& t, const std::vector<R>& records,
                const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    t.EmptyTable();
    for (const R& record : records) {
        t.Append();
        writeFields(t, record, map);
        t.Post();
    }
}

// The record of `t` whose `key` field equals `value`, or nothing.
template <class R>
std::optional<R> findBy(TStoreTable& t, const char* key, const QString& value,
                        const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    if (!t.Locate(key, toStore(value))) return std::nullopt;
    R record;
    readFields(t, record, map);
    return record;
}

template <class R>
void appendOne(TStoreTable& t, const R& record, const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    t.Append();
    writeFields(t, record, map);
    t.Post();
}

template <class R>
bool updateNamed(TStoreTable& t, const QString& formerName, const R& record,
                 const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(formerName))) return false;
    t.Edit();
    writeFields(t, record, map);
    t.Post();
    return true;
}

bool deleteNamed(TStoreTable& t, const QString& name) {
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return false;
    t.Delete();
    return true;
}

QStringList names(TStoreTable& table) {
    OpenedTable opened(table);
    QStringList out;
    for (table.First(); !table.Eof(); table.Next())
        out << text(table, "name");
    return out;
}

// The ticked lists differ only in their table and the name of their text field.
const std::vector<FieldMap<CheckedItem>>& checkedFields(CheckedList list) {
    static const std::vector<FieldMap<CheckedItem>> commands = {{"command", &CheckedItem::text},
                                                                {"tf", &CheckedItem::tf}};
    static const std::vector<FieldMap<CheckedItem>> extensions = {{"ext", &CheckedItem::text},
                                                                  {"tf", &CheckedItem::tf}};
    return list == CheckedList::AntiIdle ? commands : extensions;
}

} // namespace

int BoundBufferSize(int size) {
    return std::clamp(size, kMinBufferSize, kMaxBufferSize);
}

QStringList TDataModule::ProxyNames() {
    return names(tables_->Tproxy);
}

QStringList TDataModule::SocksNames() {
    return names(tables_->Tsocks);
}

QStringList TDataModule::KeepAliveCommands() {
    QStringList commands;
    for (const CheckedItem& item : LoadCheckedList(CheckedList::AntiIdle))
        if (item.tf) commands << item.text;
    return commands;
}

OptionsRecord TDataModule::ReadOptions() {
    TStoreTable& t = tables_->Toption;
    OpenedTable opened(t);
    OptionsRecord o;
    readFields(t, o, kOptionsFields);
    // A buffer size of 0, a negative one or one of gigabytes would make every transfer fail or
    // exhaust memory; whatever the file holds, the nearest sane size is used.
    o.recvb = BoundBufferSize(o.recvb);
    o.sendb = BoundBufferSize(o.sendb);
    return o;
}

void TDataModule::WriteOptions(const OptionsRecord& options) {
    TStoreTable& t = tables_->Toption;
    OpenedTable opened(t);
    // On an empty table Edit starts the one options record.
    t.Edit();
    writeFields(t, options, kOptionsFields);
    t.Post();
}

std::vector<CheckedItem> TDataModule::LoadCheckedList(CheckedList list) {
    TStoreTable& t = list == CheckedList::AntiIdle ? tables_->Tantiidle : tables_->Tascext;
    return loadAll(t, checkedFields(list));
}

void TDataModule::SaveCheckedList(CheckedList list, const std::vector<CheckedItem>& items) {
    TStoreTable& t = list == CheckedList::AntiIdle ? tables_->Tantiidle : tables_->Tascext;
    replaceAll(t, items, checkedFields(list));
}

bool TDataModule::SetChecked(CheckedList list, const QString& itemText, bool tf) {
    TStoreTable& t = list == CheckedList::AntiIdle ? tables_->Tantiidle : tables_->Tascext;
    OpenedTable opened(t);
    if (!t.Locate(checkedFields(list).front().field, toStore(itemText))) return false;
    t.Edit();
    setBoolean(t, "tf", tf);
    t.Post();
    return true;
}

std::vector<EditorPair> TDataModule::LoadEditors() {
    return loadAll(tables_->Teditor, kEditorFields);
}

void TDataModule::SaveEditors(const std::vector<EditorPair>& editors) {
    replaceAll(tables_->Teditor, editors, kEditorFields);
}

std::optional<ProxyRecord> TDataModule::FindProxy(const QString& name) {
    return findBy(tables_->Tproxy, "name", name, kProxyFields);
}

std::optional<SocksRecord> TDataModule::FindSocks(const QString& name) {
    return findBy(tables_->Tsocks, "name", name, kSocksFields);
}

std::vector<ProxyRecord> TDataModule::LoadProxies() {
    return loadAll(tables_->Tproxy, kProxyFields);
}

std::vector<SocksRecord> TDataModule::LoadSocks() {
    return loadAll(tables_->Tsocks, kSocksFields);
}

void TDataModule::AppendProxy(const ProxyRecord& proxy) {
    appendOne(tables_->Tproxy, proxy, kProxyFields);
}

void TDataModule::AppendSocks(const SocksRecord& socks) {
    appendOne(tables_->Tsocks, socks, kSocksFields);
}

bool TDataModule::UpdateProxy(const QString& formerName, const ProxyRecord& proxy) {
    return updateNamed(tables_->Tproxy, formerName, proxy, kProxyFields);
}

bool TDataModule::UpdateSocks(const QString& formerName, const SocksRecord& socks) {
    return updateNamed(tables_->Tsocks, formerName, socks, kSocksFields);
}

bool TDataModule::DeleteProxy(const QString& name) {
    return deleteNamed(tables_->Tproxy, name);
}

bool TDataModule::DeleteSocks(const QString& name) {
    return deleteNamed(tables_->Tsocks, name);
}

std::vector<QuickServer> TDataModule::LoadQuickServers() {
    return loadAll(tables_->Tquick, kQuickFields);
}

std::optional<QuickServer> TDataModule::FindQuickServer(const QString& ftp) {
    return findBy(tables_->Tquick, "ftp", ftp, kQuickFields);
}

void TDataModule::RememberQuickServer(const QuickServer& server) {
    TStoreTable& t = tables_->Tquick;
    OpenedTable opened(t);
    if (t.Locate("ftp", toStore(server.ftp)))
        t.Edit();
    else
        t.Append();
    writeFields(t, server, kQuickFields);
    t.Post();
}

void TDataModule::ClearQuickServers() {
    TStoreTable& t = tables_->Tquick;
    OpenedTable opened(t);
    t.EmptyTable();
}
