#pragma once
// The start signatures indexed by the byte each one expects first, so that a sector is tested
// only against the few signatures its bytes can begin. The order among candidates is the
// signatures' order: the first that matches wins.

#include <array>
#include <cstdint>
#include <vector>

#include "raw/signature.h"

namespace vdrec::raw {

class StartIndex {
public:
    explicit StartIndex(const std::vector<Signature>& signatures);

    // The ids of every signature whose start matches the sector (kCarveSectorSize bytes), in
    // signature order. Empty for most sectors, cheaply.
    void matches(const uint8_t* sector, std::vector<size_t>& into) const;
    // Whether one signature's start matches the sector.
    static bool startsWith(const Signature& signature, const uint8_t* sector);

private:
    // Signatures whose start lies at the same offset in the sector, bucketed by that byte. A
    // wildcard first byte (0x2A) puts the signature in every bucket.
    struct OffsetGroup {
        uint32_t offset;
        std::array<std::vector<uint32_t>, 256> buckets;
    };

    const std::vector<Signature>& signatures_;
    std::vector<OffsetGroup> groups_;
};

}  // namespace vdrec::raw
