#include "ftp/managed_buffer.h"

#include "ftp/socket/net_exception.h"

#include <algorithm>
#include <cstring>

void TNetSimpleBuffer::Remove(int64_t count) {
    if (count > Size()) throw ENetNotEnoughDataInBuffer();
    if (count <= 0) return;
    data.erase(data.begin(), data.begin() + count);
    position = std::max<int64_t>(0, position - count);
    if (RemovalNotice) RemovalNotice(this, count);
}

int64_t TNetManagedBuffer::Read(void* buffer, int64_t count) {
    int64_t n = std::max<int64_t>(0, std::min(count, Size() - position));
    if (n > 0) std::memcpy(buffer, Visible() + position, static_cast<size_t>(n));
    position += n;
    return n;
}

int64_t TNetManagedBuffer::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = ConsumedBytes + position + count;
    if (end > static_cast<int64_t>(data.size())) data.resize(static_cast<size_t>(end));
    std::memcpy(data.data() + ConsumedBytes + position, buffer, static_cast<size_t>(count));
    position += count;
    return count;
}

void TNetManagedBuffer::SetPosition(int64_t newPosition) {
    position = std::max<int64_t>(0, newPosition);
}

void TNetManagedBuffer::SetSize(int64_t size) {
    data.resize(static_cast<size_t>(ConsumedBytes + std::max<int64_t>(0, size)));
    position = std::min(position, Size());
}

void TNetManagedBuffer::Remove(int64_t count) {
    if (count > Size()) throw ENetNotEnoughDataInBuffer();
    if (count <= 0) return;
    if (count == Size()) {
        data.clear();
        ConsumedBytes = 0;
        position = 0;
    } else {
        ConsumedBytes += count;
        position = std::max<int64_t>(0, position - count);
        if (ConsumedBytes >= PackThreshold) {
            data.erase(data.begin(), data.begin() + ConsumedBytes);
            ConsumedBytes = 0;
        }
    }
    if (RemovalNotice) RemovalNotice(this, count);
}

void TNetManagedBuffer::Clear() {
    data.clear();
    ConsumedBytes = 0;
    position = 0;
}

void TNetManagedBuffer::Append(const void* buffer, int64_t count) {
    if (count <= 0) return;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    data.insert(data.end(), bytes, bytes + count);
}

uint8_t* TNetManagedBuffer::ReserveTail(int64_t count) {
    const size_t oldSize = data.size();
    data.resize(oldSize + static_cast<size_t>(std::max<int64_t>(0, count)));
    reserved = count;
    return data.data() + oldSize;
}

void TNetManagedBuffer::CommitTail(int64_t filled) {
    filled = std::clamp<int64_t>(filled, 0, reserved);
    data.resize(data.size() - static_cast<size_t>(reserved - filled));
    reserved = 0;
}

int64_t TNetManagedBuffer::Find(std::string_view needle, int64_t from) const {
    std::string_view visible = View();
    if (from < 0) from = 0;
    if (needle.empty() || from >= static_cast<int64_t>(visible.size())) return -1;
    size_t hit = visible.find(needle, static_cast<size_t>(from));
    return hit == std::string_view::npos ? -1 : static_cast<int64_t>(hit);
}
