#include <algorithm>
#include <cstring>
#include <set>

#include "platform/byte_reader.h"
#include "platform/text_format.h"
#include "volumes/boot_sector.h"
#include "volumes/partition.h"

namespace vdrec::volumes {

namespace {

using platform::format;

constexpr size_t kTableOffset = 446;
constexpr size_t kGptEntryBytes = 128;
constexpr size_t kGptEntriesRead = 80;
constexpr size_t kGptEntriesTaken = 72;

struct TableEntry {
    uint8_t type;
    uint32_t firstSector;
    uint32_t sectorCount;
};

TableEntry tableEntry(const uint8_t* sector, int slot) {
    const platform::ByteReader in(platform::asBytes(sector + kTableOffset + 16 * slot, 16));
    return {in.u8Or0(4), in.le32Or0(8), in.le32Or0(12)};
}

bool isExtended(uint8_t type) { return type == 0x05 || type == 0x0F; }

// A sector without the boot signature is not a partition table, whatever its bytes say.
bool hasBootSignature(const uint8_t* sector) { return sector[510] == 0x55 && sector[511] == 0xAA; }

bool hasGptSignature(const uint8_t* header) { return std::memcmp(header, "EFI PART", 8) == 0; }

struct TypeName {
    std::string name;
    std::string status;
};

TypeName primaryTypeName(uint8_t type, bool exfat, int& ntfsCount) {
    switch (type) {
        case 0x01: return {"FAT12", ""};
        case 0x04: case 0x06: case 0x0E: return {"FAT16", "found FAT 16..."};
        case 0x07:
            if (exfat) return {"FAT64", "found FAT64..."};
            return {"NTFS", format("found NTFS %d...", ++ntfsCount)};
        case 0x0B: case 0x0C: return {"FAT32", "found FAT 32..."};
        case 0x0F: return {"eXFAT", "found FAT 64..."};
        case 0x42: return {"NTFS", "NTFS..."};
        case 0x83: return {"extX", "found ext2..."};
        default: return {"Unknown", "found UNKNOWN..."};
    }
}

TypeName logicalTypeName(uint8_t type, bool exfat) {
    switch (type) {
        case 0x07: return exfat ? TypeName{"FAT64", "found FAT64..."} : TypeName{"NTFS", "found NTFS..."};
        case 0x42: return {"Unknown", "found UNKNOWN..."};
        case 0x83: return {"extX", "found extx..."};
        default: {
            int unused = 0;
            return primaryTypeName(type, false, unused);
        }
    }
}

}  // namespace

bool Partition::readSector(const image::BlockDevice& reader, uint64_t sector, uint8_t* out) {
    if (sector > static_cast<uint64_t>(INT64_MAX) / image::kSectorSize) return false;
    return reader.readAt(static_cast<int64_t>(sector * image::kSectorSize), out, image::kSectorSize);
}

void Partition::append(std::vector<VolumeEntry>& records, std::string fileSystem, std::string sizeText,
                       int64_t startSector, uint64_t sectorCount) {
    VolumeEntry entry{std::move(fileSystem), format("%zu", records.size()), std::move(sizeText), startSector, sectorCount};
    if (identify) identify(entry);
    records.push_back(entry);
    if (onFound) onFound(records.back());
}

void Partition::scanTables(const image::BlockDevice& reader, std::vector<VolumeEntry>& records) {
    sink_.progressRange(0, kProgressEnd);
    uint8_t first[1024];
    const bool readable = reader.readAt(0, first, sizeof first);
    if (readable && gptDisk)
        walkGpt(reader, first, records);
    else
        walkMbr(reader, records);
    sink_.progressPosition(kProgressEnd);
}

void Partition::walkMbr(const image::BlockDevice& reader, std::vector<VolumeEntry>& records) {
    uint8_t mbr[512];
    if (!readSector(reader, 0, mbr)) return;
    if (!hasBootSignature(mbr)) {
        sink_.message(kNoPartitionTable);
        return;
    }
    for (int slot = 0; slot < 4; ++slot) {
        const TableEntry entry = tableEntry(mbr, slot);
        if (isExtended(entry.type)) {
            walkExtendedChain(reader, entry.firstSector, records);
            return;
        }
        if (entry.type == 0) return;
        const bool pastEnd = entry.firstSector >= state_.totalSectors;
        bool exfat = false;
        if (entry.type == 0x07 && !pastEnd) {
            uint8_t boot[512];
            exfat = readSector(reader, entry.firstSector, boot) && isExfatBootSector(std::span<const uint8_t, 512>(boot, 512));
        }
        const TypeName named = primaryTypeName(entry.type, exfat, ntfsCount_);
        if (!named.status.empty()) sink_.status(named.status);
        append(records, named.name,
               pastEnd ? std::string(kPastDiskEnd) : format("%lld   MB", static_cast<long long>(entry.sectorCount / 2048)),
               entry.firstSector, pastEnd ? 0 : entry.sectorCount);
    }
}

void Partition::walkExtendedChain(const image::BlockDevice& reader, uint64_t extendedBase,
                                  std::vector<VolumeEntry>& records) {
    std::set<uint64_t> visited;
    uint64_t recordOffset = 0;
    for (int count = 0; count < kMaxExtendedRecords; ++count) {
        const uint64_t recordSector = extendedBase + recordOffset;
        // A link outside the disk or back to a record already read ends the chain.
        if (recordSector >= state_.totalSectors || !visited.insert(recordSector).second) return;
        uint8_t record[512];
        if (!readSector(reader, recordSector, record) || !hasBootSignature(record)) return;
        std::optional<uint64_t> link;
        for (int slot = 0; slot < 4; ++slot) {
            const TableEntry entry = tableEntry(record, slot);
            if (entry.type == 0) break;
            if (isExtended(entry.type)) {
                link = entry.firstSector;
                break;
            }
            const uint64_t start = recordSector + entry.firstSector;
            const bool pastEnd = start >= state_.totalSectors;
            bool exfat = false;
            if (entry.type == 0x07 && !pastEnd) {
                uint8_t boot[512];
                exfat = readSector(reader, start, boot) && isExfatBootSector(std::span<const uint8_t, 512>(boot, 512));
            }
            const TypeName named = logicalTypeName(entry.type, exfat);
            if (!named.status.empty()) sink_.status(named.status);
            append(records, named.name,
                   pastEnd ? std::string(kPastDiskEnd) : format("%d   MB", static_cast<int>(entry.sectorCount / 2048)),
                   static_cast<int64_t>(start), pastEnd ? 0 : entry.sectorCount);
        }
        if (!link) return;
        recordOffset = *link;
    }
}

void Partition::walkGpt(const image::BlockDevice& reader, const uint8_t* firstSectors, std::vector<VolumeEntry>& records) {
    if (!hasGptSignature(firstSectors + 512)) {
        sink_.message(kNoPartitionTable);
        return;
    }
    const platform::ByteReader header(platform::asBytes(firstSectors + 512, 512));
    const uint64_t entriesLba = header.le64Or0(72);
    if (entriesLba >= state_.totalSectors) return;

    std::vector<uint8_t> entries(kGptEntriesRead * kGptEntryBytes);
    reader.readAt(static_cast<int64_t>(entriesLba * image::kSectorSize), entries.data(),
                  static_cast<uint32_t>(entries.size()));

    for (size_t k = 0; k < kGptEntriesTaken; ++k) {
        const uint8_t* raw = entries.data() + k * kGptEntryBytes;
        const platform::ByteReader entry(platform::asBytes(raw, kGptEntryBytes));
        const bool guidHas30 = raw[0] == 0x30 || raw[1] == 0x30 || raw[2] == 0x30 || raw[3] == 0x30;
        const uint64_t firstLba = entry.le64Or0(32);
        const uint64_t lastLba = entry.le64Or0(40);
        if (guidHas30 || firstLba < 3) return;

        const std::string name = platform::utf16leToUtf8(raw + 56, 36);
        if (firstLba >= state_.totalSectors) {
            if (name != "Microsoft reserved partition")
                append(records, name, std::string(kPastDiskEnd), static_cast<int64_t>(std::min<uint64_t>(firstLba, INT64_MAX)), 0);
            continue;
        }
        uint8_t boot[512];
        const bool readable = readSector(reader, firstLba, boot);
        if (name == "Microsoft reserved partition") continue;
        if (!readable) return;

        const BootSectorFind find = classifyBootSector(std::span<const uint8_t, 512>(boot, 512), NtfsCheck::JumpOnly);
        if (find.kind != BootKind::None) {
            const std::string status = find.kind == BootKind::Ntfs ? findStatus(find.kind, ++ntfsCount_) : findStatus(find.kind, 0);
            sink_.status(status);
            // A FAT boot sector of a kind the scan does not name is listed by its GPT entry below.
            if (find.kind != BootKind::FatUnknown) {
                if (find.sizeBytes >= kMegabyte) {
                    const uint64_t megabytes = find.sizeBytes / kMegabyte;
                    append(records, fileSystemName(find.kind),
                           find.kind == BootKind::Ntfs ? format("%lld   MB", static_cast<long long>(megabytes))
                                                       : format("%lld  MB", static_cast<long long>(megabytes)),
                           static_cast<int64_t>(firstLba), find.sizeBytes / image::kSectorSize);
                }
                continue;
            }
        }
        uint8_t volumeHeader[512];
        const bool hfs = readSector(reader, firstLba + 2, volumeHeader) &&
                         hfsPlusHeaderSize(std::span<const uint8_t, 512>(volumeHeader, 512)).has_value();
        const uint64_t span = lastLba > firstLba ? lastLba - firstLba : 0;
        // The last LBA is the entry's own last sector.
        append(records, hfs ? "HFS+" : name, format("%lld", static_cast<long long>(span / 2048)),
               static_cast<int64_t>(firstLba), lastLba >= firstLba ? lastLba - firstLba + 1 : 0);
    }
}

}  // namespace vdrec::volumes
