#include "platform/bulk_allocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace vdrec::platform {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t roundedToHugePages(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* allocateBulk(size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
    const size_t length = roundedToHugePages(bytes);
    // Mapped one huge page longer, then trimmed, so the block starts on a huge-page boundary.
    const size_t mapped = length + kHugePage;
    void* area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(area);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) ::munmap(area, aligned - start);
    if (const size_t tail = start + mapped - (aligned + length); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    // Advice only: without huge pages the block works the same, with more faults.
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeBulk(void* block, size_t bytes) {
    if (block == nullptr) return;
    if (bytes < kHugePage) {
        ::operator delete(block);
        return;
    }
    ::munmap(block, roundedToHugePages(bytes));
}

}  // namespace vdrec::platform
