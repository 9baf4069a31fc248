// Storage for the entries of a listing that grows while the listing arrives.
#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

// Elements in blocks of a fixed capacity: appending never moves an element already stored, so
// a listing of many thousand entries is not copied again each time its storage grows.
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

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T& operator[](size_t index) { return blocks[index / BlockSize][index % BlockSize]; }
    const T& operator[](size_t index) const { return blocks[index / BlockSize][index % BlockSize]; }
    T& emplace_back() {
        if (count == blocks.size() * BlockSize) blocks.emplace_back().reserve(BlockSize);
        ++count;
        return blocks.back().emplace_back();
    }
    void clear() {
        blocks.clear();
        count = 0;
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count}; }

private:
    std::vector<std::vector<T>> blocks;
    size_t count = 0;
};
