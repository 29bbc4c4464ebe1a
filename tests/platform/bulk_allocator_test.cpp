#include "platform/bulk_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vdrec::platform {
namespace {

TEST(BulkAllocator, TablesKeepTheirContentsWhileGrowingPastTheHugePageSize) {
    // From heap blocks to mapped ones and on through several mapped sizes.
    BulkVector<uint64_t> numbers;
    BulkString text;
    for (uint64_t k = 0; k < 3'000'000; ++k) {
        numbers.push_back(k * 7);
        if (k % 3 == 0) text += static_cast<char>('a' + k % 26);
    }
    for (uint64_t k = 0; k < numbers.size(); k += 997) ASSERT_EQ(numbers[k], k * 7) << k;
    ASSERT_EQ(text.size(), 1'000'000u);
    for (size_t k = 0; k < text.size(); k += 991) ASSERT_EQ(text[k], static_cast<char>('a' + (3 * k) % 26)) << k;
    BulkVector<uint64_t> copy = numbers;
    numbers.clear();
    numbers.shrink_to_fit();
    EXPECT_EQ(copy.back(), 2'999'999u * 7);
}

}  // namespace
}  // namespace vdrec::platform
