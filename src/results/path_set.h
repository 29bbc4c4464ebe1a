#pragma once
// The output paths a save walk has promised. Open addressing over 64-bit hashes kept in one
// array: a look-up touches a slot or two and compares whole paths only when their hashes agree,
// where a node-based set took a cache miss or two per saved file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vdrec::results {

class PathSet {
public:
    // False when `path` was in the set already.
    bool insert(std::string path) {
        if ((paths_.size() + 1) * 4 > slots_.size() * 3) grow();
        const uint64_t hash = hashOf(path);
        Slot& slot = slots_[find(path, hash)];
        if (slot.hash != 0) return false;
        slot = {hash, paths_.size()};
        paths_.push_back(std::move(path));
        return true;
    }
    bool contains(std::string_view path) const {
        if (slots_.empty()) return false;
        return slots_[find(path, hashOf(path))].hash != 0;
    }

private:
    struct Slot {
        uint64_t hash = 0;  // 0: empty
        size_t path = 0;
    };

    static uint64_t hashOf(std::string_view path) {
        const uint64_t hash = std::hash<std::string_view>{}(path);
        return hash != 0 ? hash : 1;
    }
    // The slot holding `path`, or the empty slot where it would go.
    size_t find(std::string_view path, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        for (size_t k = hash & mask;; k = (k + 1) & mask) {
            const Slot& slot = slots_[k];
            if (slot.hash == 0 || (slot.hash == hash && paths_[slot.path] == path)) return k;
        }
    }
    void grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.hash == 0) continue;
            size_t k = slot.hash & mask;
            while (slots_[k].hash != 0) k = (k + 1) & mask;
            slots_[k] = slot;
        }
    }

    std::vector<Slot> slots_;  // a power of two in size, at most three quarters full
    std::vector<std::string> paths_;
};

}  // namespace vdrec::results
