#include "ftp/list_blocks.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace net_blocks {

#if defined(__linux__)

// A private anonymous mapping aligned to a chunk's size, marked for large pages: where the
// system allows them on request, touching the chunk's first byte brings in all of it at once.
void* AllocateChunk(size_t bytes) {
    const size_t spare = kChunkBytes;
    void* mapped = ::mmap(nullptr, bytes + spare, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kChunkBytes - 1) & ~(uintptr_t(kChunkBytes) - 1);
    // The spare bytes before and after the aligned chunk go back at once.
    if (aligned > start) ::munmap(mapped, aligned - start);
    const uintptr_t tail = aligned + bytes;
    const uintptr_t mappedEnd = start + bytes + spare;
    if (mappedEnd > tail) ::munmap(reinterpret_cast<void*>(tail), mappedEnd - tail);
    void* chunk = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
    ::madvise(chunk, bytes, MADV_HUGEPAGE); // only a hint: without it the chunk still works
#endif
    return chunk;
}

void ReleaseChunk(void* chunk, size_t bytes) {
    ::munmap(chunk, bytes);
}

#else

void* AllocateChunk(size_t bytes) {
    return ::operator new(bytes, std::align_val_t(kChunkBytes));
}

void ReleaseChunk(void* chunk, size_t) {
    ::operator delete(chunk, std::align_val_t(kChunkBytes));
}

#endif

} // namespace net_blocks
