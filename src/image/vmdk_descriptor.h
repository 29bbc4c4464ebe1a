#pragma once
// The text descriptor a hosted sparse VMDK embeds after its header.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdrec::image {

struct VmdkExtent {
    uint64_t sectors = 0;
    std::string type;      // "SPARSE", "FLAT", ...
    std::string fileName;  // from the opening quote (kept) to the closing one; never opened
};

struct VmdkDescriptor {
    std::string version, cid, parentCid, createType;
    std::string cylinders, heads, sectors;
    std::vector<VmdkExtent> extents;
    // Type of the last extent parsed: the reader's extent type.
    std::string extentType;

    uint64_t totalSectors() const;
};

// nullopt when the text holds no createType="..." value.
std::optional<VmdkDescriptor> parseVmdkDescriptor(std::string_view text);

}  // namespace vdrec::image
