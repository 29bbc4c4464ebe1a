#include "results/scan_session.h"

#include <algorithm>
#include <cctype>

#include "platform/text_format.h"

namespace vdrec::results {

namespace {

bool equalsIgnoringCase(const std::string& a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

FileSystemKind fileSystemKind(const std::string& name) {
    if (equalsIgnoringCase(name, "ntfs")) return FileSystemKind::Ntfs;
    if (equalsIgnoringCase(name, "fat32")) return FileSystemKind::Fat32;
    if (equalsIgnoringCase(name, "fat16") || equalsIgnoringCase(name, "fat")) return FileSystemKind::Fat16;
    if (equalsIgnoringCase(name, "extX")) return FileSystemKind::Ext;
    if (equalsIgnoringCase(name, "fat64") || equalsIgnoringCase(name, "exFat")) return FileSystemKind::Exfat;
    if (equalsIgnoringCase(name, "HFS+")) return FileSystemKind::HfsPlus;
    return FileSystemKind::None;
}

std::vector<std::string> clusterSizeItems(FileSystemKind kind, std::optional<int> bootSectorsPerCluster) {
    std::vector<std::string> items;
    if (kind == FileSystemKind::Ntfs) return {"8", "4", "2", "16", "32", "64"};
    if (bootSectorsPerCluster) items.push_back(platform::format("%d", *bootSectorsPerCluster));
    if (kind == FileSystemKind::Fat16)
        for (const char* item : {"4", "8", "16", "2", "32", "64", "128"}) items.push_back(item);
    if (kind == FileSystemKind::Fat32)
        for (const char* item : {"2", "4", "16", "32", "64", "8"}) items.push_back(item);
    // One-sector clusters are what mkfs.fat gives small volumes: without "1" they could not be
    // rebuilt at all.
    if ((kind == FileSystemKind::Fat16 || kind == FileSystemKind::Fat32) && bootSectorsPerCluster != 1)
        items.push_back("1");
    // exFAT: cluster shifts. After the usual large ones, the smaller ones mkfs.exfat and Windows
    // give volumes under 32 GiB (3 and 6 most often), without which those could not be rebuilt.
    if (kind == FileSystemKind::Exfat)
        for (int shift : {8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7})
            if (bootSectorsPerCluster != shift) items.push_back(platform::format("%d", shift));
    return items;
}

std::unique_ptr<ScanSession> ScanSession::create(const volumes::VolumeEntry& volume, image::WizardState& state,
                                                 platform::UiSink& sink) {
    const FileSystemKind kind = fileSystemKind(volume.fileSystem);
    if (kind != FileSystemKind::Ntfs && kind != FileSystemKind::Fat16 && kind != FileSystemKind::Fat32 &&
        kind != FileSystemKind::Exfat && kind != FileSystemKind::Ext && kind != FileSystemKind::HfsPlus) {
        sink.message("not a valid drive.");
        sink.status("Not a valid Drive .Go back");
        return nullptr;
    }
    if (!state.reader) {
        sink.message("Please Restart the program to re begin necessary initialization...");
        return nullptr;
    }
    if (kind == FileSystemKind::Ntfs) return makeNtfsScanSession(volume, state.totalSectors, *state.reader, sink);
    if (kind == FileSystemKind::Exfat) return makeExfatScanSession(volume, *state.reader, sink);
    if (kind == FileSystemKind::Ext) return makeExtScanSession(volume, *state.reader, sink);
    if (kind == FileSystemKind::HfsPlus) return makeHfsPlusScanSession(volume, state.totalSectors, *state.reader, sink);
    return makeFatScanSession(kind, volume, *state.reader, sink);
}

}  // namespace vdrec::results
