#pragma once
// Finding the volumes of a disk: the standard scan reads the MBR with its extended boot records
// (or the GPT entries), the advanced scan looks at every sector for boot sectors and HFS+ headers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "image/image_reader.h"
#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "volumes/volume_entry.h"

namespace vdrec::volumes {

// Bound on the extended boot record chain; a chain that loops also ends at the first revisit.
inline constexpr int kMaxExtendedRecords = 50;
inline constexpr int64_t kProgressEnd = 1000;
// Told by the standard scan when sector 0 (or, for a GPT disk, the GPT header) carries no
// table signature: the advanced scan is then the way to the volumes.
inline constexpr std::string_view kNoPartitionTable =
    "No partition table found on this disk. Try the advanced scan to search it for volumes.";
// The size text of a table entry that starts past the disk's last sector: listed, never opened.
inline constexpr std::string_view kPastDiskEnd = "past disk end";

class Partition {
public:
    Partition(const image::WizardState& state, platform::UiSink& sink) : state_(state), sink_(sink) {}

    // Standard scan: appends every volume of the partition tables to `records`.
    void scanTables(const image::BlockDevice& reader, std::vector<VolumeEntry>& records);
    // Advanced scan: appends every boot sector / volume header found, calling onFound at once.
    void scanSignatures(const image::BlockDevice& reader, std::vector<VolumeEntry>& records);

    bool gptDisk = false;
    bool skipFoundVolumes = true;
    int64_t firstSector = 0;
    int64_t lastSector = 0;
    std::atomic<bool> stopRequested{false};
    std::function<void(const VolumeEntry&)> onFound;
    // Called on each volume before onFound: tells what the volume holds by its content.
    std::function<void(VolumeEntry&)> identify;

private:
    void walkMbr(const image::BlockDevice& reader, std::vector<VolumeEntry>& records);
    void walkExtendedChain(const image::BlockDevice& reader, uint64_t extendedBase, std::vector<VolumeEntry>& records);
    void walkGpt(const image::BlockDevice& reader, const uint8_t* firstSectors, std::vector<VolumeEntry>& records);
    bool readSector(const image::BlockDevice& reader, uint64_t sector, uint8_t* out);
    void append(std::vector<VolumeEntry>& records, std::string fileSystem, std::string sizeText, int64_t startSector,
                uint64_t sectorCount);

    const image::WizardState& state_;
    platform::UiSink& sink_;
    int ntfsCount_ = 0;
};

}  // namespace vdrec::volumes
