#include "tools/store_tool.h"

#include "data/schema/schema.h"
#include "store/database.h"
#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"

#include <cmath>
#include <cstdlib>
#include <ostream>

namespace storetool {

namespace {

const char* kUsage = "usage: oxbrook-store create FILE main|bookmark\n"
                     "       oxbrook-store tables FILE\n"
                     "       oxbrook-store dump FILE TABLE [INDEX]\n"
                     "       oxbrook-store check FILE\n";

using PasswordPrompt = std::function<bool(const std::string&, std::string&)>;

// A database of its own session, so that the tool never shares state with a caller's.
class Connection {
public:
    Connection(const std::string& file, const PasswordPrompt& ask)
        : session_(FreeSessionName()), database_(session_.SessionName()) {
        database_.SetDatabaseName(file);
        if (const char* pw = std::getenv("OXBROOK_STORE_PASSWORD")) session_.AddPassword(pw);
        if (ask) database_.SetOnLogin(ask);
        database_.Open();
        database_.CheckAccess();
    }
    store::TStoreFileIO& File() { return database_.FileIO(); }

private:
    static std::string FreeSessionName() {
        for (int n = 1;; ++n) {
            std::string name = store::FormatMessage("oxbrook-store_%d", n);
            if (!store::TStoreSession::Find(name)) return name;
        }
    }

    store::TStoreSession session_;
    store::TStoreDatabase database_;
};

// Keeps a table loaded for a scope.
class TableUse {
public:
    explicit TableUse(store::TStoreTableIO& table) : table_(table) { table_.Open(); }
    ~TableUse() { table_.Release(); }

private:
    store::TStoreTableIO& table_;
};

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string dateText(int32_t day) {
    int y = 0, m = 0, d = 0;
    store::DayNumberToDate(day, y, m, d);
    return store::FormatMessage("%04d-%02d-%02d", y, m, d);
}

std::string timeText(int64_t ms) {
    return store::FormatMessage("%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                                static_cast<int>(ms % 1000));
}

std::string valueText(store::TStoreTableIO& table, store::TRecordBuffer& buf, int f) {
    using namespace store;
    TFieldType t = buf.FieldType(f);
    if (IsBlobType(t)) {
        table.LoadBlob(buf, f);
        bool text = t == ftMemo || t == ftFmtMemo || t == ftOraClob;
        return text ? EscapeText(buf.GetBlob(f)) : hex(buf.GetBlob(f));
    }
    switch (t) {
    case ftString:
    case ftFixedChar:
        return EscapeText(buf.GetText(f));
    case ftBoolean:
        return buf.GetBoolean(f) ? "True" : "False";
    case ftFloat:
    case ftCurrency:
        return FormatMessage("%.17g", buf.GetFloat(f));
    case ftDate:
        return dateText(buf.GetDate(f));
    case ftTime:
        return timeText(buf.GetTime(f));
    case ftDateTime: {
        double stored = buf.GetDateTime(f);
        double day = std::floor(stored / 86400000.0);
        return dateText(static_cast<int32_t>(day)) + " " +
               timeText(static_cast<int64_t>(stored - day * 86400000.0));
    }
    default:
        return std::to_string(buf.GetLargeint(f));
    }
}

int create(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3 || (args[2] != "main" && args[2] != "bookmark")) {
        err << kUsage;
        return 2;
    }
    schema::CreateStore(args[1],
                        args[2] == "main" ? schema::StoreKind::Main : schema::StoreKind::Bookmark);
    out << "created " << args[1] << "\n";
    return 0;
}

int tables(const std::vector<std::string>& args, std::ostream& out, const PasswordPrompt& ask) {
    Connection conn(args[1], ask);
    store::TStoreFileIO& file = conn.File();
    for (int i = 0; i < file.TableCount(); ++i) {
        store::TStoreTableIO& table = file.Table(i);
        TableUse use(table);
        out << table.Name() << '\t' << table.Layout().fields.size() << '\t'
            << table.Indexes().size() << '\t' << table.List(0).size() << '\n';
    }
    return 0;
}

int dump(const std::vector<std::string>& args, std::ostream& out, const PasswordPrompt& ask) {
    Connection conn(args[1], ask);
    store::TStoreTableIO& table = conn.File().Table(args[2]);
    TableUse use(table);
    int list = 0;
    if (args.size() == 4) {
        int index = table.FindIndex(args[3]);
        if (index < 0)
            throw store::EStoreError(store::FormatMessage("Index '%s' not found", args[3].c_str()));
        list = index + 1;
    }
    const store::TRecordLayout& layout = table.Layout();
    for (size_t f = 0; f < layout.fields.size(); ++f)
        out << (f ? "\t" : "") << layout.fields[f].name;
    out << '\n';
    store::TStoreLockHold hold(table.File());
    store::TRecordBuffer buf = table.NewRecord();
    for (const store::TRecordRef& ref : table.List(list)) {
        table.ReadRecord(ref, buf);
        for (int f = 0; f < buf.FieldCount(); ++f)
            out << (f ? "\t" : "") << valueText(table, buf, f);
        out << '\n';
    }
    return 0;
}

int check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
          const PasswordPrompt& ask) {
    Connection conn(args[1], ask);
    store::TStoreFileIO& file = conn.File();
    long records = 0, blobs = 0, problems = 0;
    auto problem = [&](const std::string& where, const std::string& what) {
        out << where << ": " << what << '\n';
        ++problems;
    };
    for (int i = 0; i < file.TableCount(); ++i) {
        store::TStoreTableIO& table = file.Table(i);
        const std::string where = "table " + table.Name();
        try {
            TableUse use(table);
            const store::TRecordList& physical = table.List(0);
            for (int k = 1; k < table.ListCount(); ++k)
                if (table.List(k).size() != physical.size())
                    problem(where + " index " + table.Indexes()[k - 1].name,
                            store::FormatMessage("%d records in key order, %d live records",
                                                 static_cast<int>(table.List(k).size()),
                                                 static_cast<int>(physical.size())));
            store::TRecordBuffer buf = table.NewRecord();
            for (const store::TRecordRef& ref : physical) {
                try {
                    table.ReadRecord(ref, buf);
                    ++records;
                    for (int f = 0; f < buf.FieldCount(); ++f) {
                        if (!store::IsBlobType(buf.FieldType(f))) continue;
                        table.LoadBlob(buf, f);
                        ++blobs;
                    }
                } catch (const store::EStoreError& e) {
                    problem(where + " record " + std::to_string(ref.slot), e.what());
                }
            }
        } catch (const store::EStoreError& e) {
            problem(where, e.what());
        }
    }
    if (problems > 0) {
        err << problems << (problems == 1 ? " problem" : " problems") << " found\n";
        return 1;
    }
    out << "ok: " << file.TableCount() << " tables, " << records << " records, " << blobs
        << " blobs\n";
    return 0;
}

} // namespace

std::string EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

int RunStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const PasswordPrompt& askPassword) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    bool known = (command == "create" && args.size() == 3) ||
                 (command == "tables" && args.size() == 2) ||
                 (command == "dump" && (args.size() == 3 || args.size() == 4)) ||
                 (command == "check" && args.size() == 2);
    if (!known) {
        err << kUsage;
        return 2;
    }
    try {
        if (command == "create") return create(args, out, err);
        if (command == "tables") return tables(args, out, askPassword);
        if (command == "dump") return dump(args, out, askPassword);
        return check(args, out, err, askPassword);
    } catch (const store::EStoreError& e) {
        out.flush();
        err << e.what() << '\n';
        return 1;
    } catch (const store::EStoreAbort&) {
        // No password could be had for an encrypted store.
        err << "Access denied\n";
        return 1;
    }
}

} // namespace storetool
