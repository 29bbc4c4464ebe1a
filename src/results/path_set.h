#pragma once
// The output paths a save walk has promised. Open addressing over 64-bit hashes kept in one
// array: a look-up touches a slot or two and compares whole paths only when their hashes agree,
// where a node-based set took a cache miss or two per saved file.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bulk_allocator.h"

namespace vdrec::results {

class PathSet {
public:
    PathSet() = default;
    ~PathSet() {
        for (const Chunk& chunk : chunks_) platform::freeBulk(chunk.bytes, chunk.size);
    }
    PathSet(const PathSet&) = delete;
    PathSet& operator=(const PathSet&) = delete;

    // False when `path` was in the set already.
    bool insert(std::string_view path) {
        if ((count_ + 1) * 4 > slots_.size() * 3) grow();
        const uint64_t hash = hashOf(path);
        Slot& slot = slots_[find(path, hash)];
        if (slot.hash != 0) return false;
        slot = {hash, store(path)};
        ++count_;
        return true;
    }
    bool contains(std::string_view path) const {
        if (slots_.empty()) return false;
        return slots_[find(path, hashOf(path))].hash != 0;
    }

private:
    struct Slot {
        uint64_t hash = 0;             // 0: empty
        const char* text = nullptr;  // the path's length, then its bytes
    };
    struct Chunk {
        char* bytes;
        size_t size;
    };
    // Paths are packed into large chunks that never move: no allocation per path, and no copy
    // of what is stored when more room is needed.
    static constexpr size_t kFirstChunkBytes = size_t{16} << 10;
    static constexpr size_t kChunkBytes = size_t{2} << 20;

    static uint64_t hashOf(std::string_view path) {
        const uint64_t hash = std::hash<std::string_view>{}(path);
        return hash != 0 ? hash : 1;
    }
    static std::string_view textOf(const char* text) {
        uint32_t length = 0;
        std::memcpy(&length, text, sizeof length);
        return {text + sizeof length, length};
    }
    const char* store(std::string_view path) {
        const uint32_t length = static_cast<uint32_t>(path.size());
        const size_t bytes = sizeof length + path.size();
        if (chunks_.empty() || chunkUsed_ + bytes > chunks_.back().size) {
            // Small at first, for the walks that save a few files.
            const size_t next = chunks_.empty() ? kFirstChunkBytes : std::min(kChunkBytes, chunks_.back().size * 2);
            const size_t size = std::max(next, bytes);
            chunks_.push_back({static_cast<char*>(platform::allocateBulk(size)), size});
            chunkUsed_ = 0;
        }
        char* text = chunks_.back().bytes + chunkUsed_;
        std::memcpy(text, &length, sizeof length);
        std::memcpy(text + sizeof length, path.data(), path.size());
        chunkUsed_ += bytes;
        return text;
    }
    // The slot holding `path`, or the empty slot where it would go.
    size_t find(std::string_view path, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        for (size_t k = hash & mask;; k = (k + 1) & mask) {
            const Slot& slot = slots_[k];
            if (slot.hash == 0 || (slot.hash == hash && textOf(slot.text) == path)) return k;
        }
    }
    void grow() {
        platform::BulkVector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.hash == 0) continue;
            size_t k = slot.hash & mask;
            while (slots_[k].hash != 0) k = (k + 1) & mask;
            slots_[k] = slot;
        }
    }

    platform::BulkVector<Slot> slots_;  // a power of two in size, at most three quarters full
    std::vector<Chunk> chunks_;
    size_t chunkUsed_ = 0;
    size_t count_ = 0;
};

}  // namespace vdrec::results
