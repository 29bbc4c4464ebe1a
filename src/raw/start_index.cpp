#include "raw/start_index.h"

#include <algorithm>

namespace vdrec::raw {

namespace {

constexpr uint8_t kWildcard = 0x2A;

}  // namespace

StartIndex::StartIndex(const std::vector<Signature>& signatures) : signatures_(signatures) {
    for (const Signature& signature : signatures) {
        // A one-byte start would match a large share of all sectors; such signatures never match.
        if (signature.start.size() < 2) continue;
        auto group = std::find_if(groups_.begin(), groups_.end(),
                                  [&](const OffsetGroup& g) { return g.offset == signature.startOffset; });
        if (group == groups_.end()) {
            groups_.push_back(OffsetGroup{signature.startOffset, {}});
            group = groups_.end() - 1;
        }
        const uint8_t first = signature.start.front();
        for (unsigned byte = 0; byte < 256; ++byte)
            if (first == kWildcard || first == byte) group->buckets[byte].push_back(static_cast<uint32_t>(signature.id));
    }
}

bool StartIndex::startsWith(const Signature& signature, const uint8_t* sector) {
    if (signature.start.size() < 2 || signature.startOffset + signature.start.size() > kCarveSectorSize) return false;
    const uint8_t* at = sector + signature.startOffset;
    for (size_t k = 0; k < signature.start.size(); ++k)
        if (signature.start[k] != kWildcard && signature.start[k] != at[k]) return false;
    return true;
}

void StartIndex::matches(const uint8_t* sector, std::vector<size_t>& into) const {
    into.clear();
    for (const OffsetGroup& group : groups_)
        for (uint32_t id : group.buckets[sector[group.offset]])
            if (startsWith(signatures_[id], sector)) into.push_back(id);
    if (groups_.size() > 1) std::sort(into.begin(), into.end());
}

}  // namespace vdrec::raw
