#pragma once
// The HFS+ volumes of tests/fixtures/make-hfsplus.sh, cut out of their ISO images and scanned in
// memory, and the few byte edits the tests make to damage them.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fs/hfsplus/hfsplus_adapter.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::fs::hfsplus {

inline constexpr size_t kVolumeStart = 156 * 512;

// The HFS+ volume's bytes (and the ISO's tail after it), cut out at its partition's start.
inline std::vector<uint8_t> volumeBytes(const std::string& image = "hfsplus.iso") {
    const auto iso = test::readFile(test::fixture(image));
    return std::vector<uint8_t>(iso.begin() + kVolumeStart, iso.end());
}

enum class Scan { Standard, Deep };

struct ScannedVolume {
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    HfsPlusVolume parser{sink};
    HfsPlusAdapter adapter{parser};
    bool scanned = false;

    explicit ScannedVolume(std::vector<uint8_t> bytes, Scan scan = Scan::Standard) {
        const uint64_t size = bytes.size();
        EXPECT_TRUE(reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::move(bytes))));
        parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0));
        const bool header = parser.readVolumeHeader();
        if (scan == Scan::Standard) {
            scanned = header && parser.readExtentsOverflow() && parser.readCatalog();
        } else if (parser.scanVolumeForNodes(size)) {
            parser.readFoundCatalogNodes();
            parser.readExtentsOverflow();
            scanned = true;
        }
        if (scanned) parser.linkEntries();
    }

    // Every listed path with its size, walked as the results tree would.
    std::map<std::string, uint64_t> listing() const {
        std::map<std::string, uint64_t> out;
        std::vector<std::pair<EntryRef, std::string>> stack;
        for (EntryRef e : adapter.rootLevel()) stack.emplace_back(e, "");
        while (!stack.empty() && out.size() < 100000) {
            const auto [entry, prefix] = stack.back();
            stack.pop_back();
            const std::string path = prefix + adapter.name(entry);
            out[path] = adapter.dataSize(entry);
            for (EntryRef c = adapter.firstChild(entry); c != kNoEntry; c = adapter.nextSibling(c))
                stack.emplace_back(c, path + "/");
        }
        return out;
    }

    EntryRef find(const std::string& path) const {
        std::vector<std::pair<EntryRef, std::string>> stack;
        for (EntryRef e : adapter.rootLevel()) stack.emplace_back(e, "");
        while (!stack.empty()) {
            const auto [entry, prefix] = stack.back();
            stack.pop_back();
            const std::string here = prefix + adapter.name(entry);
            if (here == path) return entry;
            for (EntryRef c = adapter.firstChild(entry); c != kNoEntry; c = adapter.nextSibling(c))
                stack.emplace_back(c, here + "/");
        }
        return kNoEntry;
    }
};

inline uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
inline void putBe(std::vector<uint8_t>& b, size_t at, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) b[at + k] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - k)));
}

// Byte offsets of the catalog records keyed (parent ID, ASCII name), in volume order.
inline std::vector<size_t> catalogRecords(const std::vector<uint8_t>& v, uint32_t parentId, const std::string& name) {
    std::vector<uint8_t> key(4 + 2 + 2 * name.size(), 0);
    putBe(key, 0, parentId, 4);
    putBe(key, 4, static_cast<uint32_t>(name.size()), 2);
    for (size_t k = 0; k < name.size(); ++k) key[6 + 2 * k + 1] = static_cast<uint8_t>(name[k]);
    std::vector<size_t> found;
    // A key's length field precedes it; a thread record holds the same bytes after two zeros.
    const size_t keyLength = key.size();
    for (auto it = v.begin(); (it = std::search(it, v.end(), key.begin(), key.end())) != v.end(); ++it) {
        const auto at = static_cast<size_t>(it - v.begin());
        if (at >= 2 && (size_t{v[at - 2]} << 8 | v[at - 1]) == keyLength) found.push_back(at - 2);
    }
    return found;
}
// The body (record type onwards) of the record whose key starts at `key`.
inline size_t recordBody(const std::vector<uint8_t>& v, size_t key) { return key + 2 + (size_t{v[key]} << 8 | v[key + 1]); }

}  // namespace vdrec::fs::hfsplus
