#pragma once
// A set of entry references for walks that must meet each entry once. Parsers number their
// entries densely from 0, so a bit per number up to the largest met costs far less than a
// hash-set node per entry; numbers past what the bitmap may cover go to a hash set.

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "fs/file_system_adapter.h"

namespace vdrec::fs {

class EntrySet {
public:
    // False when `entry` was in the set already.
    bool insert(EntryRef entry) {
        if (entry < 0 || entry >= kBitmapLimit) return beyond_.insert(entry).second;
        const auto word = static_cast<size_t>(entry >> 6);
        if (word >= bits_.size()) bits_.resize(std::max(word + 1, bits_.size() * 2));
        const uint64_t bit = uint64_t{1} << (entry & 63);
        if (bits_[word] & bit) return false;
        bits_[word] |= bit;
        return true;
    }

    void erase(EntryRef entry) {
        if (entry < 0 || entry >= kBitmapLimit) {
            beyond_.erase(entry);
            return;
        }
        const auto word = static_cast<size_t>(entry >> 6);
        if (word < bits_.size()) bits_[word] &= ~(uint64_t{1} << (entry & 63));
    }

private:
    // 2 MiB of bits at most: a damaged number cannot make the bitmap large.
    static constexpr EntryRef kBitmapLimit = EntryRef{1} << 24;
    std::vector<uint64_t> bits_;
    std::unordered_set<EntryRef> beyond_;
};

}  // namespace vdrec::fs
