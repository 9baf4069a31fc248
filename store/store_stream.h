#pragma once
// The byte media a store file lives on: a disk file (positioned reads and writes on a file
// descriptor, with the one-byte lock) and an in-memory byte stream reached by a handle
// (database names of the form ":" + hexadecimal digits).

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace store {

// Random-access bytes. Reads never go past the end: ReadAt raises EStoreError when fewer bytes
// than asked exist. Writes past the end grow the stream.
class TStoreStream {
public:
    virtual ~TStoreStream() = default;
    // Fills len bytes at offset into out; raises EStoreError when they do not all exist.
    virtual void ReadAt(int64_t offset, void* out, size_t len) = 0;
    // Writes len bytes at offset, growing the stream as needed; raises EStoreError on failure.
    virtual void WriteAt(int64_t offset, const void* data, size_t len) = 0;
    // Returns the current size in bytes.
    virtual int64_t Size() = 0;
    // Forces written bytes to stable storage (no-op in memory).
    virtual void Flush() = 0;
    // Tries once to take the one-byte lock; returns false when another holder has it. Media
    // without a lock return true.
    virtual bool TryLock() = 0;
    // Releases the lock taken by TryLock.
    virtual void Unlock() = 0;
    // Returns the name shown in messages.
    virtual const std::string& Name() const = 0;
    // Copies len bytes at offset from what is already mapped, without a system call and without
    // the lock; returns false (copying nothing) when the medium has no mapping that covers them.
    virtual bool PeekAt(int64_t offset, void* out, size_t len) {
        (void)offset, (void)out, (void)len;
        return false;
    }
};

// A disk file opened for reading and writing (or reading only).
class TFileStream : public TStoreStream {
public:
    // Opens an existing file; raises EStoreError("Cannot open file %s") when it cannot.
    // exclusive takes a whole-file lock so that no other process can open it as a store.
    TFileStream(const std::string& path, bool readOnly, bool exclusive = false);
    // Creates a new file; raises EStoreError when it exists or cannot be made.
    static std::unique_ptr<TFileStream> Create(const std::string& path);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    void ReadAt(int64_t offset, void* out, size_t len) override;
    void WriteAt(int64_t offset, const void* data, size_t len) override;
    int64_t Size() override;
    void Flush() override;
    bool TryLock() override;
    void Unlock() override;
    const std::string& Name() const override { return path_; }
    bool PeekAt(int64_t offset, void* out, size_t len) override;
    bool ReadOnly() const { return readOnly_; }

private:
    TFileStream() = default;
    bool Map(int64_t size);
    void Unmap();

    std::string path_;
    int fd_ = -1;
    bool readOnly_ = false;
    int64_t size_ = -1; // known while the lock is held; other processes may grow the file
    // Reads come from a shared mapping of the file: the kernel keeps it coherent with every
    // process's writes, so it stays valid across locks, and a scan copies no page twice.
    uint8_t* map_ = nullptr;
    int64_t mapSize_ = 0;
    bool mapFailed_ = false;
};

// A growable byte stream in memory. Shared between the creator and every store file opened on
// it by handle; access is serialised by an internal mutex.
class TMemoryStream : public TStoreStream {
public:
    explicit TMemoryStream(std::string name = {}) : name_(std::move(name)) {}
    void ReadAt(int64_t offset, void* out, size_t len) override;
    void WriteAt(int64_t offset, const void* data, size_t len) override;
    int64_t Size() override;
    void Flush() override {}
    bool TryLock() override { return true; }
    void Unlock() override {}
    const std::string& Name() const override { return name_; }

    // Returns a copy of the whole content.
    std::vector<uint8_t> Bytes();
    // Replaces the whole content.
    void Assign(std::vector<uint8_t> bytes);

private:
    std::mutex mutex_;
    std::vector<uint8_t> bytes_;
    std::string name_;
};

// Registers a memory stream and returns its handle; the database name ":" + the handle in
// hexadecimal (MemoryStreamName) then opens it.
uint32_t RegisterMemoryStream(std::shared_ptr<TMemoryStream> stream);
// Forgets a handle; later opens of its name fail.
void UnregisterMemoryStream(uint32_t handle);
// Returns ":" followed by the handle in hexadecimal.
std::string MemoryStreamName(uint32_t handle);
// Returns the stream registered under a ":" + hex name; raises
// EStoreError("Invalid database name '%s'") for any other name or an unknown handle.
std::shared_ptr<TMemoryStream> FindMemoryStream(const std::string& name);
// Returns true when the name has the memory-medium form (starts with ':').
bool IsMemoryName(const std::string& name);

// Fault injection for tests: when set, runs before every write system call of a disk file and
// returns 0 to let it go ahead, or an errno value (ENOSPC for a full disk, EIO) that the call
// then fails with. Set it only while no other thread writes a store.
using TStoreWriteFault = std::function<int()>;
void SetStoreWriteFault(TStoreWriteFault fault);

// Takes (lock=true) or releases one byte at offset 1 with an open-file-description lock; a file
// opened for reading only takes a shared lock, which still waits for any writer. Returns false
// only when another holder refuses the lock; raises EStoreError on other errors.
bool LockFileByte(int fd, bool lock, bool shared = false);

} // namespace store
