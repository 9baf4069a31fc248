#include "ftp/net_stream.h"

#include "ftp/socket/net_exception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t TNetMemoryStream::Read(void* buffer, int64_t count) {
    int64_t available = Size() - position;
    int64_t n = std::clamp<int64_t>(std::min(count, available), 0, INT64_MAX);
    if (n > 0) std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
    position += n;
    return n;
}

int64_t TNetMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (position + count > Size()) data.resize(static_cast<size_t>(position + count));
    std::memcpy(data.data() + position, buffer, static_cast<size_t>(count));
    position += count;
    return count;
}

void TNetMemoryStream::SetPosition(int64_t newPosition) {
    position = std::max<int64_t>(0, newPosition);
}

void TNetMemoryStream::SetSize(int64_t size) {
    data.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
    position = std::min(position, Size());
}

void TNetMemoryStream::Clear() {
    data.clear();
    position = 0;
}

TNetFileStream::TNetFileStream(const std::string& path, TNetFileMode mode) : path(path) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case TNetFileMode::fmCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case TNetFileMode::fmOpenRead:
        flags |= O_RDONLY;
        break;
    case TNetFileMode::fmOpenReadWrite:
        flags |= O_RDWR;
        break;
    }
    fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) fail("Cannot open file");
}

TNetFileStream::~TNetFileStream() {
    if (fd >= 0) ::close(fd);
}

void TNetFileStream::fail(const char* what) const {
    throw ENetException(std::string(what) + " \"" + path + "\". " + std::strerror(errno));
}

int64_t TNetFileStream::Read(void* buffer, int64_t count) {
    auto* bytes = static_cast<char*>(buffer);
    int64_t total = 0;
    while (total < count) {
        ssize_t n = ::pread(fd, bytes + total, static_cast<size_t>(count - total), position);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("Cannot read file");
        if (n == 0) break;
        total += n;
        position += n;
    }
    return total;
}

int64_t TNetFileStream::Write(const void* buffer, int64_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    int64_t total = 0;
    while (total < count) {
        ssize_t n = ::pwrite(fd, bytes + total, static_cast<size_t>(count - total), position);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("Cannot write file");
        total += n;
        position += n;
    }
    return total;
}

int64_t TNetFileStream::Size() const {
    struct stat st {};
    if (::fstat(fd, &st) != 0) fail("Cannot read the size of file");
    return static_cast<int64_t>(st.st_size);
}

void TNetFileStream::SetPosition(int64_t newPosition) {
    position = std::max<int64_t>(0, newPosition);
}

void TNetFileStream::SetSize(int64_t size) {
    if (::ftruncate(fd, std::max<int64_t>(0, size)) != 0) fail("Cannot resize file");
    position = std::min(position, Size());
}
