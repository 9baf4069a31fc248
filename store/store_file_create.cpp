#include "store/store_file_create.h"

#include "store/store_error.h"
#include "store/store_format.h"
#include "store/store_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <strings.h>

namespace store {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void CheckName(const std::string& name, const char* kind) {
    if (name.empty() || name.size() > static_cast<size_t>(kMaxNameLength) ||
        name.find('\0') != std::string::npos)
        throw EStoreError(FormatMessage("Invalid %s name '%s': 1 to %d characters required", kind,
                                        name.c_str(), kMaxNameLength));
}

int FieldNumber(const TTableDef& t, const std::string& name) {
    for (size_t i = 0; i < t.fields.size(); ++i)
        if (strcasecmp(t.fields[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

void ValidateTable(const TTableDef& t) {
    CheckName(t.name, "table");
    if (t.fields.empty() || t.fields.size() > static_cast<size_t>(kMaxFields))
        throw EStoreError(
            FormatMessage("Table '%s' must have 1 to %d fields", t.name.c_str(), kMaxFields));
    if (t.indexes.size() > static_cast<size_t>(kMaxIndexes))
        throw EStoreError(
            FormatMessage("Table '%s' has more than %d indexes", t.name.c_str(), kMaxIndexes));
    std::set<std::string> names;
    for (const TFieldDef& f : t.fields) {
        CheckName(f.name, "field");
        if (!names.insert(Lower(f.name)).second)
            throw EStoreError(FormatMessage("Duplicate field name '%s' in table '%s'",
                                            f.name.c_str(), t.name.c_str()));
        if (!IsStorableType(f.type))
            throw EStoreError(
                FormatMessage("Field '%s' has a type that cannot be stored", f.name.c_str()));
        if (IsTextType(f.type) && (f.size < 1 || f.size > 65535))
            throw EStoreError(
                FormatMessage("Text field '%s' needs a size of 1 to 65535", f.name.c_str()));
    }
    names.clear();
    for (const TIndexDef& x : t.indexes) {
        CheckName(x.name, "index");
        if (!names.insert(Lower(x.name)).second)
            throw EStoreError(FormatMessage("Duplicate index name '%s' in table '%s'",
                                            x.name.c_str(), t.name.c_str()));
        if (x.fields.empty() || x.fields.size() > static_cast<size_t>(kMaxIndexFields))
            throw EStoreError(FormatMessage("Index '%s' must have 1 to %d fields", x.name.c_str(),
                                            kMaxIndexFields));
        for (const std::string& fn : x.fields) {
            int n = FieldNumber(t, fn);
            if (n < 0)
                throw EStoreError(FormatMessage("Index '%s' names an unknown field '%s'",
                                                x.name.c_str(), fn.c_str()));
            if (IsBlobType(t.fields[static_cast<size_t>(n)].type))
                throw EStoreError(FormatMessage("Index '%s' cannot use the blob field '%s'",
                                                x.name.c_str(), fn.c_str()));
        }
    }
}

void WriteTableHeader(uint8_t* h, const TTableDef& t) {
    fmt::PutName(h, fmt::kNameSize, t.name);
    fmt::PutI32(h + fmt::kThFieldCount, static_cast<int32_t>(t.fields.size()));
    for (size_t i = 0; i < t.fields.size(); ++i) {
        uint8_t* e = h + fmt::kThFields + i * fmt::kFieldEntrySize;
        fmt::PutName(e, fmt::kNameSize, t.fields[i].name);
        e[fmt::kFeType] = t.fields[i].type;
        fmt::PutI32(e + fmt::kFeSize, IsTextType(t.fields[i].type) ? t.fields[i].size : 0);
        e[fmt::kFeMode] = t.fields[i].mode;
    }
    fmt::PutI32(h + fmt::kThIndexCount, static_cast<int32_t>(t.indexes.size()));
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        uint8_t* e = h + fmt::kThIndexes + i * fmt::kIndexEntrySize;
        fmt::PutName(e, fmt::kNameSize, t.indexes[i].name);
        e[fmt::kIeOptions] = t.indexes[i].options;
        for (int k = 0; k < kMaxIndexFields; ++k) {
            int32_t n = k < static_cast<int>(t.indexes[i].fields.size())
                            ? FieldNumber(t, t.indexes[i].fields[static_cast<size_t>(k)])
                            : -1;
            fmt::PutI32(e + fmt::kIeFields + 4 * k, n);
        }
    }
}

} // namespace

void ValidateStoreFileDef(const TStoreFileDef& def) {
    if (def.tables.size() > static_cast<size_t>(kMaxTables))
        throw EStoreError(FormatMessage("A store file holds at most %d tables", kMaxTables));
    std::set<std::string> names;
    for (const TTableDef& t : def.tables) {
        ValidateTable(t);
        if (!names.insert(Lower(t.name)).second)
            throw EStoreError(FormatMessage("Duplicate table name '%s'", t.name.c_str()));
    }
    const TStoreOptions& o = def.options;
    if (o.compressAlgorithm.size() > static_cast<size_t>(kMaxNameLength) ||
        o.encryptAlgorithm.size() > static_cast<size_t>(kMaxNameLength) ||
        o.passwordHash.size() >= static_cast<size_t>(fmt::kPasswordHashSize) || o.encryptMode > 4)
        throw EStoreError("Invalid store file options");
    if (o.encrypt && (o.encryptAlgorithm.empty() || o.passwordHash.empty()))
        throw EStoreError("An encrypted store file needs an algorithm and a password hash");
}

std::vector<uint8_t> CreateStoreImage(const TStoreFileDef& def) {
    ValidateStoreFileDef(def);
    size_t size = fmt::kFirstFreeOffset + def.tables.size() * fmt::kTableHeaderSize;
    std::vector<uint8_t> img(size, 0);
    std::memcpy(img.data(),
                "OxbrDB\0"
                "2.0",
                10);
    uint8_t* opt = img.data() + fmt::kOptionsOffset;
    const TStoreOptions& o = def.options;
    opt[fmt::kOptCompress] = o.compressBlobs ? 1 : 0;
    opt[fmt::kOptCompressLevel] = o.compressLevel;
    fmt::PutName(opt + fmt::kOptCompressName, fmt::kNameSize, o.compressAlgorithm);
    opt[fmt::kOptEncrypt] = o.encrypt ? 1 : 0;
    opt[fmt::kOptEncryptMode] = o.encryptMode;
    fmt::PutName(opt + fmt::kOptEncryptName, fmt::kNameSize, o.encryptAlgorithm);
    opt[fmt::kOptCrc] = o.verifyCrc ? 1 : 0;
    fmt::PutName(opt + fmt::kOptPasswordHash, fmt::kPasswordHashSize, o.passwordHash);
    uint8_t* dir = img.data() + fmt::kDirectoryOffset;
    fmt::PutI32(dir, static_cast<int32_t>(def.tables.size()));
    for (size_t i = 0; i < def.tables.size(); ++i) {
        int32_t at = static_cast<int32_t>(fmt::kFirstFreeOffset + i * fmt::kTableHeaderSize);
        fmt::PutI32(dir + 8 + 4 * i, at);
        WriteTableHeader(img.data() + at, def.tables[i]);
    }
    return img;
}

void CreateStoreFile(const std::string& path, const TStoreFileDef& def) {
    std::vector<uint8_t> img = CreateStoreImage(def);
    auto file = TFileStream::Create(path);
    file->WriteAt(0, img.data(), img.size());
    file->Flush();
}

int AppendMissingTables(const std::string& path, const std::vector<TTableDef>& tables) {
    for (const TTableDef& t : tables)
        ValidateTable(t);
    TFileStream file(path, false, true);
    uint8_t dir[fmt::kDirectorySize];
    file.ReadAt(fmt::kDirectoryOffset, dir, sizeof dir);
    const int32_t count = fmt::GetI32(dir);
    if (count < 0 || count > kMaxTables)
        throw EStoreError(FormatMessage("Database file '%s' is damaged", path.c_str()));
    std::set<std::string> present;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t name[fmt::kNameSize];
        file.ReadAt(fmt::GetI32(dir + 8 + 4 * i), name, sizeof name);
        present.insert(Lower(fmt::GetName(name, fmt::kNameSize)));
    }
    std::vector<const TTableDef*> missing;
    for (const TTableDef& t : tables)
        if (present.insert(Lower(t.name)).second) missing.push_back(&t);
    if (missing.empty()) return 0;
    if (count + static_cast<int64_t>(missing.size()) > kMaxTables)
        throw EStoreError(FormatMessage("A store file holds at most %d tables", kMaxTables));
    int64_t at = file.Size();
    if (at + static_cast<int64_t>(missing.size()) * fmt::kTableHeaderSize > INT32_MAX)
        throw EStoreError(FormatMessage("Database file '%s' is full", path.c_str()));
    std::vector<uint8_t> header(fmt::kTableHeaderSize);
    for (size_t i = 0; i < missing.size(); ++i) {
        std::fill(header.begin(), header.end(), 0);
        WriteTableHeader(header.data(), *missing[i]);
        file.WriteAt(at, header.data(), header.size());
        fmt::PutI32(dir + 8 + 4 * (count + static_cast<int32_t>(i)), static_cast<int32_t>(at));
        at += fmt::kTableHeaderSize;
    }
    file.Flush();
    // The new headers are on disk before the directory names them.
    fmt::PutI32(dir, count + static_cast<int32_t>(missing.size()));
    file.WriteAt(fmt::kDirectoryOffset, dir, sizeof dir);
    file.Flush();
    return static_cast<int>(missing.size());
}

} // namespace store
