#include "data/schema/schema.h"

#include "store/database.h"
#include "store/store_file_create.h"
#include "store/table.h"

#include "store/store_error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

std::string systemError(const std::string& what, const std::string& name) {
    return what + " " + name + ": " + std::strerror(errno);
}

void syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0) ::close(fd);
        throw store::EStoreError(systemError("Cannot flush", path));
    }
    ::close(fd);
}

// Moves the finished temp file to path, never over an existing file (another process may have
// made one meanwhile).
void publish(const std::string& temp, const std::string& path) {
    int rc = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without that rename: a hard link is just as exclusive.
        rc = ::link(temp.c_str(), path.c_str());
        if (rc == 0) ::unlink(temp.c_str());
    }
    if (rc == 0) return;
    if (errno == EEXIST)
        throw store::EStoreError(
            store::FormatMessage("Cannot create file %s: it exists already", path.c_str()));
    throw store::EStoreError(systemError("Cannot create file", path));
}

} // namespace

void CreateStore(const std::string& path, StoreKind kind) {
    // The store is made under a name of its own beside the target and renamed into place only
    // when complete: a reader never sees a half-made store under the real name, and a crash
    // leaves at most a stray temporary file.
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0)
        throw store::EStoreError(
            store::FormatMessage("Cannot create file %s: it exists already", path.c_str()));
    static std::atomic<unsigned> serial{0};
    const std::string temp =
        path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    try {
        store::CreateStoreFile(temp, StoreDefinition(kind));
        // The store holds the sites' and proxies' passwords as typed: only the user may read it.
        std::filesystem::permissions(temp, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::replace);
        if (kind == StoreKind::Main) writeMainDefaults(temp);
        syncFile(temp);
        publish(temp, path);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

} // namespace schema
