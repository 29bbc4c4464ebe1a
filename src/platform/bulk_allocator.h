#pragma once
// An allocator for the large tables a scan fills (entries, names, inode facts). Blocks of 2 MiB
// and more come straight from the kernel marked for transparent huge pages, so filling a table
// of a million entries takes a few page faults instead of one per 4 KiB: on virtual machines
// those faults were a third of a listing's time. Smaller blocks come from the heap.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace vdrec::platform {

void* allocateBulk(size_t bytes);
void freeBulk(void* block, size_t bytes);

template <typename T>
struct BulkAllocator {
    using value_type = T;
    BulkAllocator() = default;
    template <typename U>
    BulkAllocator(const BulkAllocator<U>&) {}
    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateBulk(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) { freeBulk(block, count * sizeof(T)); }
    template <typename U>
    bool operator==(const BulkAllocator<U>&) const { return true; }
};

template <typename T>
using BulkVector = std::vector<T, BulkAllocator<T>>;
using BulkString = std::basic_string<char, std::char_traits<char>, BulkAllocator<char>>;

}  // namespace vdrec::platform
