// OLE2 compound file (DOC, XLS, PPT, MSI): the header sector, then sectors numbered from 0. The FAT holds
// one entry per sector; the file ends after the highest sector whose entry is not free (FAT and DIFAT
// sectors are marked in the FAT too). The FAT's own sectors are listed by the header's 109 slots and then
// by a chain of DIFAT sectors.
#include <vector>

#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr std::string_view kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr size_t kHeaderSlots = 109;
constexpr size_t kHeaderSlotsOffset = 0x4C;

}  // namespace

std::optional<uint64_t> measureCompoundFile(CandidateBuffer& in) {
    const auto header = in.at(0, 512);
    if (!header || !header->matches(0, kSignature) || header->le16Or0(0x1C) != 0xFFFE) return std::nullopt;
    const uint16_t major = header->le16Or0(0x1A);
    const uint16_t shift = header->le16Or0(0x1E);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) return std::nullopt;
    const uint64_t sectorSize = uint64_t{1} << shift;
    const uint32_t entriesPerSector = static_cast<uint32_t>(sectorSize / 4);

    // No more sectors than the limit can hold; FAT sectors beyond what those need are impossible.
    const uint64_t maxSectors = in.limit() / sectorSize;
    if (maxSectors < 2) return std::nullopt;
    const uint32_t fatSectorCount = header->le32Or0(0x2C);
    if (fatSectorCount == 0 || fatSectorCount > maxSectors / entriesPerSector + 1) return std::nullopt;

    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(fatSectorCount);
    for (size_t slot = 0; slot < kHeaderSlots && fatSectors.size() < fatSectorCount; ++slot)
        fatSectors.push_back(header->le32Or0(kHeaderSlotsOffset + 4 * slot));
    uint32_t difat = header->le32Or0(0x44);
    uint32_t difatCount = header->le32Or0(0x48);
    // Each DIFAT sector holds entriesPerSector - 1 FAT sector numbers and the next DIFAT sector's number; the
    // count bounds the chain, so a loop in it ends too.
    for (; fatSectors.size() < fatSectorCount && difatCount > 0; --difatCount) {
        if (difat > kMaxRegularSector || difat >= maxSectors - 1) return std::nullopt;
        const auto sector = in.at((uint64_t{difat} + 1) * sectorSize, sectorSize);
        if (!sector) return std::nullopt;
        for (uint32_t k = 0; k + 1 < entriesPerSector && fatSectors.size() < fatSectorCount; ++k)
            fatSectors.push_back(sector->le32Or0(4 * k));
        difat = sector->le32Or0(4 * (entriesPerSector - 1));
    }
    if (fatSectors.size() < fatSectorCount) return std::nullopt;

    // The highest sector in use: the last FAT sector with a used entry decides, so walk from the end.
    for (size_t index = fatSectors.size(); index-- > 0;) {
        const uint32_t fatSector = fatSectors[index];
        if (fatSector > kMaxRegularSector || fatSector >= maxSectors - 1) return std::nullopt;
        const auto entries = in.at((uint64_t{fatSector} + 1) * sectorSize, sectorSize);
        if (!entries) return std::nullopt;
        for (uint32_t k = entriesPerSector; k-- > 0;) {
            const uint32_t entry = entries->le32Or0(4 * k);
            if (entry == kFreeSector) continue;
            if (entry > kMaxRegularSector && entry != kEndOfChain && entry < 0xFFFFFFFC) return std::nullopt;
            const uint64_t highest = uint64_t{index} * entriesPerSector + k;
            // The header occupies the first sector (a whole 4096-byte one in version 4).
            return (highest + 2) * sectorSize;
        }
    }
    return std::nullopt;
}

}  // namespace vdrec::raw
