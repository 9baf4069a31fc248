#include "store/store_stream.h"

#include "store/store_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

std::string SystemError(const std::string& what, const std::string& name) {
    return what + " " + name + ": " + std::strerror(errno);
}

} // namespace

bool LockFileByte(int fd, bool lock, bool shared) {
    struct flock fl {};
    fl.l_type = lock ? (shared ? F_RDLCK : F_WRLCK) : F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 1;
    fl.l_len = 1;
    for (;;) {
        if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
        if (errno == EINTR) continue;
        if (lock && (errno == EAGAIN || errno == EACCES)) return false;
        throw EStoreError(std::string("File lock failed: ") + std::strerror(errno));
    }
}

TFileStream::TFileStream(const std::string& path, bool readOnly, bool exclusive) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw EStoreError(FormatMessage("Cannot open file %s", path.c_str()));
    readOnly_ = readOnly || ::access(path.c_str(), W_OK) != 0;
    fd_ = ::open(path.c_str(), (readOnly_ ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd_ < 0) throw EStoreError(FormatMessage("Cannot open file %s", path.c_str()));
    // Exclusive use keeps every other store user out; shared users only keep exclusive ones out.
    if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw EStoreError(FormatMessage("Cannot open file %s", path.c_str()));
    }
}

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path) {
    std::unique_ptr<TFileStream> s(new TFileStream());
    s->path_ = path;
    s->fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (s->fd_ < 0) {
        if (errno == EEXIST)
            throw EStoreError(
                FormatMessage("Cannot create file %s: it exists already", path.c_str()));
        throw EStoreError(SystemError("Cannot create file", path));
    }
    return s;
}

TFileStream::~TFileStream() {
    Unmap();
    if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Size() {
    if (size_ < 0) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throw EStoreError(SystemError("Cannot read", path_));
        size_ = st.st_size;
    }
    return size_;
}

bool TFileStream::Map(int64_t size) {
    if (mapFailed_) return false;
    void* m = map_ ? ::mremap(map_, static_cast<size_t>(mapSize_), static_cast<size_t>(size),
                              MREMAP_MAYMOVE)
                   : ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) {
        // Media that cannot be mapped are read with plain positioned reads.
        Unmap();
        mapFailed_ = true;
        return false;
    }
    map_ = static_cast<uint8_t*>(m);
    mapSize_ = size;
    return true;
}

void TFileStream::Unmap() {
    if (map_) ::munmap(map_, static_cast<size_t>(mapSize_));
    map_ = nullptr;
    mapSize_ = 0;
}

void TFileStream::ReadAt(int64_t offset, void* out, size_t len) {
    if (len == 0) return;
    if (offset < 0 || offset + static_cast<int64_t>(len) > Size())
        throw EStoreError(
            FormatMessage("Store file %s is damaged: read beyond its end", path_.c_str()));
    auto* dst = static_cast<uint8_t*>(out);
    const int64_t end = offset + static_cast<int64_t>(len);
    if (end <= mapSize_ || Map(Size())) {
        std::memcpy(dst, map_ + offset, len);
        return;
    }
    while (len > 0) {
        ssize_t n = ::pread(fd_, dst, len, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EStoreError(SystemError("Cannot read", path_));
        if (n == 0)
            throw EStoreError(
                FormatMessage("Store file %s is damaged: read beyond its end", path_.c_str()));
        dst += n;
        offset += n;
        len -= static_cast<size_t>(n);
    }
}

bool TFileStream::PeekAt(int64_t offset, void* out, size_t len) {
    // Store files never shrink, so whatever was mapped stays backed by the file.
    if (!map_ || offset < 0 || offset + static_cast<int64_t>(len) > mapSize_) return false;
    std::memcpy(out, map_ + offset, len);
    return true;
}

namespace {

TStoreWriteFault& writeFault() {
    static TStoreWriteFault fault;
    return fault;
}

ssize_t writeSome(int fd, const void* data, size_t len, int64_t offset) {
    if (const auto& fault = writeFault()) {
        if (int number = fault()) {
            errno = number;
            return -1;
        }
    }
    return ::pwrite(fd, data, len, offset);
}

} // namespace

void SetStoreWriteFault(TStoreWriteFault fault) {
    writeFault() = std::move(fault);
}

void TFileStream::WriteAt(int64_t offset, const void* data, size_t len) {
    if (readOnly_) throw EStoreError(FormatMessage("Cannot write to %s", path_.c_str()));
    const auto* src = static_cast<const uint8_t*>(data);
    int64_t end = offset + static_cast<int64_t>(len);
    while (len > 0) {
        ssize_t n = writeSome(fd_, src, len, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EStoreError(SystemError("Cannot write to", path_));
        src += n;
        offset += n;
        len -= static_cast<size_t>(n);
    }
    if (size_ >= 0 && end > size_) size_ = end;
}

void TFileStream::Flush() {
    if (!readOnly_ && ::fdatasync(fd_) != 0) throw EStoreError(SystemError("Cannot flush", path_));
}

bool TFileStream::TryLock() {
    if (!LockFileByte(fd_, true, readOnly_)) return false;
    size_ = -1; // another process may have grown the file since we last held the lock
    return true;
}

void TFileStream::Unlock() {
    size_ = -1;
    LockFileByte(fd_, false);
}

// ---- memory medium ----

void TMemoryStream::ReadAt(int64_t offset, void* out, size_t len) {
    std::lock_guard<std::mutex> g(mutex_);
    if (offset < 0 || static_cast<uint64_t>(offset) + len > bytes_.size())
        throw EStoreError(
            FormatMessage("Store file %s is damaged: read beyond its end", name_.c_str()));
    if (len) std::memcpy(out, bytes_.data() + offset, len);
}

void TMemoryStream::WriteAt(int64_t offset, const void* data, size_t len) {
    std::lock_guard<std::mutex> g(mutex_);
    if (offset < 0) throw EStoreError("General error");
    size_t end = static_cast<size_t>(offset) + len;
    if (end > bytes_.size()) bytes_.resize(end, 0);
    if (len) std::memcpy(bytes_.data() + offset, data, len);
}

int64_t TMemoryStream::Size() {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int64_t>(bytes_.size());
}

std::vector<uint8_t> TMemoryStream::Bytes() {
    std::lock_guard<std::mutex> g(mutex_);
    return bytes_;
}

void TMemoryStream::Assign(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> g(mutex_);
    bytes_ = std::move(bytes);
}

namespace {

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::map<uint32_t, std::shared_ptr<TMemoryStream>>& Registry() {
    static std::map<uint32_t, std::shared_ptr<TMemoryStream>> r;
    return r;
}

} // namespace

uint32_t RegisterMemoryStream(std::shared_ptr<TMemoryStream> stream) {
    std::lock_guard<std::mutex> g(RegistryMutex());
    static uint32_t next = 0x1000;
    uint32_t handle = next++;
    Registry()[handle] = std::move(stream);
    return handle;
}

void UnregisterMemoryStream(uint32_t handle) {
    std::lock_guard<std::mutex> g(RegistryMutex());
    Registry().erase(handle);
}

std::string MemoryStreamName(uint32_t handle) {
    char buf[16];
    std::snprintf(buf, sizeof buf, ":%X", handle);
    return buf;
}

bool IsMemoryName(const std::string& name) {
    return !name.empty() && name[0] == ':';
}

std::shared_ptr<TMemoryStream> FindMemoryStream(const std::string& name) {
    auto invalid = [&] {
        return EStoreError(FormatMessage("Invalid database name '%s'", name.c_str()));
    };
    if (name.size() < 2 || name.size() > 9 || name[0] != ':') throw invalid();
    uint32_t handle = 0;
    for (size_t i = 1; i < name.size(); ++i) {
        char c = name[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            throw invalid();
        handle = handle * 16 + static_cast<uint32_t>(digit);
    }
    std::lock_guard<std::mutex> g(RegistryMutex());
    auto it = Registry().find(handle);
    if (it == Registry().end()) throw invalid();
    return it->second;
}

} // namespace store
