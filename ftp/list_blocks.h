// Storage for the entries of a listing that grows while the listing arrives.
#pragma once

#include <cstddef>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

// Memory for the blocks of a large TNetBlockList: chunks of kChunkBytes (or a multiple), which
// the system may back with large pages, so that a listing of many thousand entries is not paid
// for with a page fault every few entries. Raises std::bad_alloc when none is left.
namespace net_blocks {
constexpr size_t kChunkBytes = size_t(2) << 20;
void* AllocateChunk(size_t bytes);
void ReleaseChunk(void* chunk, size_t bytes);
} // namespace net_blocks

// Elements in blocks of a fixed capacity: appending never moves an element already stored, so
// a listing of many thousand entries is not copied again each time its storage grows. The first
// blocks are ordinary allocations; once the list has grown past them, its further blocks are
// carved out of large chunks.
template <class T, size_t BlockSize = 256> class TNetBlockList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        const_iterator(const TNetBlockList* list, size_t index) : list(list), index(index) {}
        reference operator*() const { return (*list)[index]; }
        pointer operator->() const { return &(*list)[index]; }
        const_iterator& operator++() {
            ++index;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++index;
            return before;
        }
        bool operator==(const const_iterator& other) const { return index == other.index; }

    private:
        const TNetBlockList* list = nullptr;
        size_t index = 0;
    };

    TNetBlockList() = default;
    TNetBlockList(const TNetBlockList& other) {
        try {
            append(other);
        } catch (...) {
            clear();
            throw;
        }
    }
    TNetBlockList(TNetBlockList&& other) noexcept { swap(other); }
    TNetBlockList& operator=(const TNetBlockList& other) {
        if (this != &other) {
            TNetBlockList copy(other);
            swap(copy);
        }
        return *this;
    }
    TNetBlockList& operator=(TNetBlockList&& other) noexcept {
        TNetBlockList taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~TNetBlockList() { clear(); }

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T& operator[](size_t index) { return blocks[index / BlockSize][index % BlockSize]; }
    const T& operator[](size_t index) const { return blocks[index / BlockSize][index % BlockSize]; }
    T& emplace_back() {
        T* at = ::new (nextSlot()) T();
        ++count;
        return *at;
    }
    // Destroys every element and gives all memory back.
    void clear() {
        for (size_t i = count; i > 0; --i)
            (*this)[i - 1].~T();
        count = 0;
        for (size_t b = 0; b < blocks.size() && b < kOwnBlocks; ++b)
            ::operator delete(blocks[b], std::align_val_t(alignof(T)));
        blocks.clear();
        for (const Chunk& chunk : chunks)
            net_blocks::ReleaseChunk(chunk.memory, chunk.bytes);
        chunks.clear();
        chunkUsed = 0;
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count}; }

private:
    // Blocks before this many are allocated one by one: a short listing never takes a chunk.
    static constexpr size_t kOwnBlocks = 2;
    static constexpr size_t kBlockBytes = BlockSize * sizeof(T);
    static constexpr size_t kChunkSize =
        (kBlockBytes + net_blocks::kChunkBytes - 1) / net_blocks::kChunkBytes *
        net_blocks::kChunkBytes;

    struct Chunk {
        void* memory;
        size_t bytes;
    };

    // Room for one more element in `list`, made before the memory it will point to is taken:
    // the push_back that follows cannot fail and leave that memory unowned.
    template <class V> static void roomForOne(V& list) {
        if (list.size() == list.capacity()) list.reserve(list.size() * 2 + 8);
    }

    // The memory of the element after the last, in a new block when the last one is full.
    void* nextSlot() {
        if (count == blocks.size() * BlockSize) addBlock();
        return blocks[count / BlockSize] + count % BlockSize;
    }

    void addBlock() {
        roomForOne(blocks);
        if (blocks.size() < kOwnBlocks) {
            blocks.push_back(
                static_cast<T*>(::operator new(kBlockBytes, std::align_val_t(alignof(T)))));
            return;
        }
        if (chunks.empty() || chunkUsed + kBlockBytes > kChunkSize) {
            roomForOne(chunks);
            chunks.push_back({net_blocks::AllocateChunk(kChunkSize), kChunkSize});
            chunkUsed = 0;
        }
        // Each block starts at a multiple of its size within the chunk: T's alignment holds.
        blocks.push_back(
            reinterpret_cast<T*>(static_cast<char*>(chunks.back().memory) + chunkUsed));
        chunkUsed += kBlockBytes;
    }

    void append(const TNetBlockList& other) {
        for (const T& element : other) {
            ::new (nextSlot()) T(element);
            ++count;
        }
    }

    void swap(TNetBlockList& other) noexcept {
        blocks.swap(other.blocks);
        chunks.swap(other.chunks);
        std::swap(count, other.count);
        std::swap(chunkUsed, other.chunkUsed);
    }

    std::vector<T*> blocks;
    std::vector<Chunk> chunks;
    size_t count = 0;
    size_t chunkUsed = 0;
};
