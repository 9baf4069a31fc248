#include "data/schema/schema.h"

#include "store/database.h"
#include "store/store_file_create.h"
#include "store/table.h"

#include <cstdio>
#include <filesystem>

namespace schema {

namespace {

// The records a new main store starts with, so that the program works at once: the options
// record, the usual keep-alive commands and the usual text-file extensions, all ticked.
void writeMainDefaults(const std::string& path) {
    store::TStoreTable table;
    table.SetDatabaseName(path);

    table.SetTableName("options");
    table.Open();
    table.Append();
    table.FieldByName("eanti").SetAsBoolean(true);
    table.FieldByName("interval").SetAsInteger(30);
    table.FieldByName("transfermode").SetAsString("auto");
    table.FieldByName("transferc").SetAsString("none");
    table.FieldByName("recvb").SetAsInteger(65536);
    table.FieldByName("sendb").SetAsInteger(65536);
    table.FieldByName("appe").SetAsBoolean(true);
    table.FieldByName("ifclear").SetAsBoolean(true);
    table.FieldByName("temppath").SetAsString("");
    table.Post();
    table.Close();

    table.SetDatabaseName(path);
    table.SetTableName("antiidle");
    table.Open();
    for (const char* command : {"NOOP", "PWD"}) {
        table.Append();
        table.FieldByName("command").SetAsString(command);
        table.FieldByName("tf").SetAsBoolean(true);
        table.Post();
    }
    table.Close();

    table.SetDatabaseName(path);
    table.SetTableName("ascext");
    table.Open();
    for (const char* ext : {"ASP", "BAT", "C", "CGI", "CPP", "CSS", "DHTML", "HTM", "HTML", "PERL",
                            "PHP", "PL", "TXT"}) {
        table.Append();
        table.FieldByName("ext").SetAsString(ext);
        table.FieldByName("tf").SetAsBoolean(true);
        table.Post();
    }
    table.Close();
}

} // namespace

void CreateStore(const std::string& path, StoreKind kind) {
    store::CreateStoreFile(path, StoreDefinition(kind));
    try {
        // The store holds the sites' and proxies' passwords as typed: only the user may read it.
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::replace);
        if (kind == StoreKind::Main) writeMainDefaults(path);
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

} // namespace schema
