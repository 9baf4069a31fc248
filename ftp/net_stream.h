// The byte streams of the engine: what transfers read from and write to. All sizes and
// positions are 64-bit so that files past 2 GiB move like any other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TNetStream {
public:
    virtual ~TNetStream() = default;
    // Reads up to count bytes at the position and advances it; returns the count read
    // (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position, growing the stream, and advances the position;
    // returns count. Raises ENetException when the bytes cannot be stored.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the size in bytes.
    virtual int64_t Size() const = 0;
    // Returns the position, 0 ... Size().
    virtual int64_t Position() const = 0;
    // Moves the position; a position past the end is allowed and grows the stream on write.
    virtual void SetPosition(int64_t position) = 0;
    // Cuts or extends the stream to size; the position is kept within it.
    virtual void SetSize(int64_t size) = 0;
};

// Leaves new bytes uninitialised when a byte vector grows: receive buffers are resized for
// every socket read and would otherwise be cleared each time only to be overwritten.
template <class T> struct TNetDefaultInitAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = TNetDefaultInitAllocator<U>; };
    using std::allocator<T>::allocator;
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using TNetByteVector = std::vector<uint8_t, TNetDefaultInitAllocator<uint8_t>>;

// A stream in memory.
class TNetMemoryStream : public TNetStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Size() const override { return static_cast<int64_t>(data.size()); }
    int64_t Position() const override { return position; }
    void SetPosition(int64_t newPosition) override;
    void SetSize(int64_t size) override;

    // Empties the stream.
    void Clear();
    // Returns the bytes; valid until the next change of size.
    uint8_t* Memory() { return data.data(); }
    const uint8_t* Memory() const { return data.data(); }
    // Returns the whole content as a string of bytes.
    std::string ToString() const { return std::string(data.begin(), data.end()); }

protected:
    TNetByteVector data;
    int64_t position = 0;
};

// A write-only stream that keeps nothing and counts what is written: for transfers whose
// bytes are only measured or checked on the fly.
class TNetNullStream : public TNetStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        written += count > 0 ? count : 0;
        return count;
    }
    // Size and position are the count written.
    int64_t Size() const override { return written; }
    int64_t Position() const override { return written; }
    void SetPosition(int64_t) override {}
    void SetSize(int64_t) override {}

private:
    int64_t written = 0;
};

enum class TNetFileMode {
    fmCreate,        // create or truncate, read and write
    fmOpenRead,      // existing file, read only
    fmOpenReadWrite, // existing file, read and write, content kept
};

// A stream on a local file.
class TNetFileStream : public TNetStream {
public:
    // Opens path in mode. Raises ENetException naming the file and the system's reason.
    TNetFileStream(const std::string& path, TNetFileMode mode);
    ~TNetFileStream() override;
    TNetFileStream(const TNetFileStream&) = delete;
    TNetFileStream& operator=(const TNetFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Size() const override;
    int64_t Position() const override { return position; }
    void SetPosition(int64_t newPosition) override;
    void SetSize(int64_t size) override;

    const std::string& FileName() const { return path; }

private:
    [[noreturn]] void fail(const char* what) const;

    std::string path;
    int fd = -1;
    int64_t position = 0;
};
