#pragma once
// One open store file: the header and version checks, the options block, the table directory,
// the one-byte file lock with its retry settings, the flush-always switch, and one
// TStoreTableIO per table of the directory.

#include "store/store_stream.h"
#include "store/table_def.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

class TStoreTableIO;
class TValueCodec;

// How a disk file is opened. A file carrying no write permission for us opens read-only.
struct TStoreOpenMode {
    bool exclusive = false;
    bool readOnly = false;
};

class TStoreFileIO {
public:
    // Opens a store file by name: ":" + hex handle selects a registered memory stream, any
    // other name a disk file. Checks signature and version and reads options and directory.
    // Raises EStoreError with "Cannot open file %s", "Database file '%s' is a invalid OxbrDB",
    // "Version 1.00 is not compatible", "Version of database file is too High",
    // "Invalid database name '%s'", the algorithm-module messages, or a corruption message.
    static std::unique_ptr<TStoreFileIO> Open(const std::string& name, TStoreOpenMode mode = {});
    // Opens a store held by a stream the caller made (tests, tools).
    static std::unique_ptr<TStoreFileIO> Open(std::shared_ptr<TStoreStream> stream,
                                              bool readOnly = false);
    ~TStoreFileIO();
    TStoreFileIO(const TStoreFileIO&) = delete;
    TStoreFileIO& operator=(const TStoreFileIO&) = delete;

    const std::string& FileName() const;
    // True when the file was opened for reading only: every change raises EStoreError.
    bool ReadOnly() const { return readOnly_; }
    const TStoreOptions& Options() const { return options_; }

    // Table names in directory order.
    int TableCount() const { return static_cast<int>(tables_.size()); }
    const std::string& TableName(int i) const;
    // Returns the table's position (name letter case ignored), or -1.
    int FindTable(const std::string& name) const;
    // Returns the table-level object at a position (not loaded until its Open).
    TStoreTableIO& Table(int i);
    // Returns the table of that name; raises EStoreError("Table '%s' not found").
    TStoreTableIO& Table(const std::string& name);

    // Lock settings of the session: a retry count of 0 waits without limit; the wait time is
    // in milliseconds. Negative values are taken as 0.
    void SetLockSettings(int retryCount, int waitTimeMs);
    int LockRetryCount() const { return lockRetryCount_; }
    int LockWaitTime() const { return lockWaitTime_; }

    // Append, modify and delete flush the file only when this is on (default off).
    bool FlushAlways() const { return flushAlways_; }
    void SetFlushAlways(bool on) { flushAlways_ = on; }

    // Takes the one-byte file lock (nested calls count; only the outermost touches the file).
    // Raises EStoreError("Wait for unlock time out") when the retries run out.
    void Lock();
    // Releases one level of Lock.
    void Unlock();
    bool Locked() const { return lockDepth_ > 0; }

    // Password check for encrypted files: returns true (and keys the cipher) when the text
    // form of the password's digest equals the stored hash. A file that does not encrypt
    // always grants access.
    bool TryPassword(const std::string& password);
    bool AccessGranted() const { return accessGranted_; }

    // Storage-layer internals used by TStoreTableIO.
    TStoreStream& Stream() { return *stream_; }
    TValueCodec& Codec() { return *codec_; }
    void RequireWritable() const;

private:
    TStoreFileIO() = default;
    void Load();

    std::shared_ptr<TStoreStream> stream_;
    bool readOnly_ = false;
    TStoreOptions options_;
    std::vector<std::unique_ptr<TStoreTableIO>> tables_;
    std::unique_ptr<TValueCodec> codec_;
    int lockRetryCount_ = 20;
    int lockWaitTime_ = 100;
    int lockDepth_ = 0;
    bool flushAlways_ = false;
    bool accessGranted_ = true;
};

// Holds the file lock for a scope: a batch of reads (a scan, a search) under one lock instead
// of one lock per record.
class TStoreLockHold {
public:
    explicit TStoreLockHold(TStoreFileIO& file) : file_(file) { file_.Lock(); }
    ~TStoreLockHold() { file_.Unlock(); }
    TStoreLockHold(const TStoreLockHold&) = delete;
    TStoreLockHold& operator=(const TStoreLockHold&) = delete;

private:
    TStoreFileIO& file_;
};

} // namespace store
