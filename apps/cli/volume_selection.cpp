#include "volume_selection.h"

#include <algorithm>
#include <cctype>

#include "image_options.h"
#include "volumes/volume_extent.h"

namespace vdrec::cli {

namespace {

// The items of "Treat file system as:" and the file-system name each one gives the volume.
struct FileSystemItem {
    const char* item;
    const char* fileSystem;
};
constexpr FileSystemItem kFileSystemItems[] = {{"EXTX", "extX"},  {"FAT64", "fat64"}, {"FAT32", "fat32"},
                                               {"FAT16", "fat16"}, {"NTFS", "ntfs"},  {"HFS+", "HFS+"},
                                               {"RAW", "RAW"}};

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

}  // namespace

void addSelectionOptions(CLI::App& command, SelectionOptions& options) {
    addImageOptions(command, options.image, true);
    command.add_flag("--gpt", options.scan.gptDisk, "Read the GPT entries to find the volume");
    CLI::Option* advanced = command.add_flag("--advanced", options.scan.advanced, "Find the volume by the advanced scan");
    command.add_option("--from", options.scan.rangeFirst, "First sector of the advanced scan")->needs(advanced);
    command.add_option("--to", options.scan.rangeLast, "Last sector of the advanced scan")->needs(advanced);
    command.add_flag("--no-skip", options.scan.doNotSkip, "Do not skip found volumes in the advanced scan")->needs(advanced);
    CLI::Option* volume = command.add_option("--volume", options.volumeLabel, "The VOLUME label that `volumes` prints");
    CLI::Option* start = command.add_option("--start", options.startSector, "Start sector of a hand-made volume")
                             ->check(CLI::NonNegativeNumber);
    CLI::Option* fileSystem = command.add_option("--fs", options.fileSystem, "File system of a hand-made volume")
                                  ->check(CLI::IsMember({"EXTX", "FAT64", "FAT32", "FAT16", "NTFS", "HFS+", "RAW"},
                                                        CLI::ignore_case));
    command.add_option("--end", options.endSector, "End sector of a hand-made volume (default: the disk's last sector)")
        ->needs(start);
    start->needs(fileSystem)->excludes(volume);
    fileSystem->needs(start);
    volume->excludes(fileSystem);
}

void addModeOptions(CLI::App& command, ModeOptions& options) {
    command.add_option("--mode", options.mode, "Recovery mode")->check(CLI::IsMember({"standard", "advanced", "deep"}));
    command.add_option("--anchor", options.anchor, "Advanced mode: the anchor to rebuild from (see `anchors`)");
    command.add_option("--cluster", options.cluster, "Advanced mode: sectors per cluster, exFAT its shift (default: NTFS 8; FAT the boot sector's, else FAT16 4, FAT32 2; exFAT the boot sector's, else 8)");
    command.add_option("--heap", options.heap, "Advanced exFAT mode: the cluster-heap anchor");
    command.add_option("--max-anchors", options.maxAnchors, "Advanced mode: anchors to search for (default 3)");
    command.add_flag("--formatted", options.formatted, "FAT: treat the drive as formatted (read files as consecutive clusters)");
}

bool selectVolume(const SelectionOptions& options, platform::HeadlessSink& sink, OpenedVolume& opened) {
    if (!prepareState(options.image, opened.state, sink)) return false;
    if (options.startSector) {
        if (!volumes::provideReader(opened.state, sink)) return false;
        const int64_t start = *options.startSector;
        opened.volume.startSector = start;
        // Without --end the volume runs to the last sector of the disk.
        opened.volume.sizeText =
            volumes::handGivenSizeText(start, options.endSector.value_or(0), opened.state.totalSectors);
        opened.volume.sectorCount =
            volumes::handGivenSectorCount(start, options.endSector.value_or(0), opened.state.totalSectors);
        opened.volume.label = "0";
        for (const auto& item : kFileSystemItems)
            if (upper(options.fileSystem) == item.item) opened.volume.fileSystem = item.fileSystem;
    } else {
        if (!options.volumeLabel) {
            sink.message("please select a valid volume.");
            return false;
        }
        const auto records = volumes::scanVolumes(opened.state, sink, options.scan);
        if (!records) return false;
        const auto found = std::find_if(records->begin(), records->end(),
                                        [&](const volumes::VolumeEntry& r) { return r.label == *options.volumeLabel; });
        if (found == records->end()) {
            sink.message("please select a valid volume.");
            return false;
        }
        opened.volume = *found;
    }
    if (!volumes::fitToDisk(opened.volume, opened.state.totalSectors)) {
        sink.message(volumes::kVolumePastDiskEnd);
        return false;
    }
    return true;
}

bool openVolume(const SelectionOptions& options, platform::HeadlessSink& sink, OpenedVolume& opened) {
    if (!selectVolume(options, sink, opened)) return false;
    std::string lowered = opened.volume.fileSystem;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lowered == "unknown") {
        sink.message("can not parse unknown volume");
        return false;
    }
    opened.session = results::ScanSession::create(opened.volume, opened.state, sink);
    return opened.session != nullptr;
}

bool scanVolume(const ModeOptions& mode, platform::HeadlessSink& sink, OpenedVolume& opened) {
    results::ScanMode scanMode = results::ScanMode::Standard;
    if (mode.mode == "deep") scanMode = results::ScanMode::Deep;
    if (mode.mode == "advanced") {
        scanMode = results::ScanMode::Advanced;
        if (opened.session->findAnchors(mode.maxAnchors < 1 ? 3 : mode.maxAnchors) == 0) {
            sink.message("No File system Entry Found.Process cannot be continue...");
            return false;
        }
        if (mode.anchor >= opened.session->anchors().size()) {
            sink.message("Please select a valid anchor.");
            return false;
        }
    }
    results::AdvancedChoice choice;
    choice.anchorIndex = mode.anchor;
    choice.heapIndex = mode.heap;
    choice.formatted = mode.formatted;
    // Without --cluster: the anchor page's first "Sector Per Cluster :" item.
    const auto items = results::clusterSizeItems(results::fileSystemKind(opened.volume.fileSystem),
                                                 opened.session->bootSectorsPerCluster());
    choice.sectorsPerCluster = mode.cluster ? *mode.cluster : items.empty() ? 8 : std::stoi(items.front());
    if (!opened.session->run(scanMode, choice)) return false;
    // The end-of-scan message is for the wizard; a later failure's cause must come first.
    sink.forgetMessages();
    return true;
}

}  // namespace vdrec::cli
