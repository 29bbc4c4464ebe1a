#pragma once
// The output paths a save walk has promised. Open addressing over 64-bit hashes kept in one
// array: a look-up touches a slot or two and compares whole paths only when their hashes agree,
// where a node-based set took a cache miss or two per saved file.

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vdrec::results {

class PathSet {
public:
    // False when `path` was in the set already.
    bool insert(std::string_view path) {
        if ((count_ + 1) * 4 > slots_.size() * 3) grow();
        const uint64_t hash = hashOf(path);
        Slot& slot = slots_[find(path, hash)];
        if (slot.hash != 0) return false;
        // The text goes into one buffer behind its length: no allocation per path.
        const uint32_t length = static_cast<uint32_t>(path.size());
        slot = {hash, text_.size()};
        const char* lengthBytes = reinterpret_cast<const char*>(&length);
        text_.insert(text_.end(), lengthBytes, lengthBytes + sizeof length);
        text_.insert(text_.end(), path.begin(), path.end());
        ++count_;
        return true;
    }
    bool contains(std::string_view path) const {
        if (slots_.empty()) return false;
        return slots_[find(path, hashOf(path))].hash != 0;
    }

private:
    struct Slot {
        uint64_t hash = 0;  // 0: empty
        size_t text = 0;    // where the path's length and bytes start in text_
    };

    static uint64_t hashOf(std::string_view path) {
        const uint64_t hash = std::hash<std::string_view>{}(path);
        return hash != 0 ? hash : 1;
    }
    std::string_view textAt(size_t at) const {
        uint32_t length = 0;
        std::memcpy(&length, text_.data() + at, sizeof length);
        return {text_.data() + at + sizeof length, length};
    }
    // The slot holding `path`, or the empty slot where it would go.
    size_t find(std::string_view path, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        for (size_t k = hash & mask;; k = (k + 1) & mask) {
            const Slot& slot = slots_[k];
            if (slot.hash == 0 || (slot.hash == hash && textAt(slot.text) == path)) return k;
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
    std::vector<char> text_;
    size_t count_ = 0;
};

}  // namespace vdrec::results
