#include "results/scan_session.h"

#include "fs/registry.h"
#include "image/image_reader.h"

namespace vdrec::results {

namespace {

// The results model as the scanners see it.
class ModelResults final : public fs::ScanResults {
public:
    explicit ModelResults(ResultsModel& model) : model_(model) {}
    void buildTopLevel() override { model_.buildTopLevel(); }
    void afterScan() override { model_.afterScan(); }
    void restoreRecycledNames() override { model_.restoreRecycledNames(); }

private:
    ResultsModel& model_;
};

uint64_t bytesOfSectors(uint64_t sectors) {
    return sectors > UINT64_MAX / image::kSectorSize ? UINT64_MAX : sectors * image::kSectorSize;
}

}  // namespace

ScanSession::ScanSession(std::unique_ptr<fs::Scanner> scanner)
    : scanner_(std::move(scanner)), model_(scanner_->adapter()) {}

bool ScanSession::run(ScanMode mode, const AdvancedChoice& choice) {
    ModelResults results(model_);
    return scanner_->run(mode, choice, results);
}

FileSystemKind fileSystemKind(const std::string& name) { return fs::fileSystemNamed(name); }

std::vector<std::string> clusterSizeItems(FileSystemKind kind, std::optional<int> bootSectorsPerCluster) {
    const fs::FileSystemType* type = fs::findFileSystemType(kind);
    if (!type || !type->clusterSizeItems) return {};
    return type->clusterSizeItems(bootSectorsPerCluster);
}

std::unique_ptr<ScanSession> ScanSession::create(const volumes::VolumeEntry& volume, image::WizardState& state,
                                                 platform::UiSink& sink) {
    const fs::FileSystemType* type = fs::findFileSystemType(fs::fileSystemNamed(volume.fileSystem));
    if (!type) {
        sink.message("not a valid drive.");
        sink.status("Not a valid Drive .Go back");
        return nullptr;
    }
    if (!state.reader) {
        sink.message("Please Restart the program to re begin necessary initialization...");
        return nullptr;
    }
    fs::ScanTarget target;
    target.fileSystem = type->fileSystem;
    const uint64_t start = volume.startSector > 0 ? static_cast<uint64_t>(volume.startSector) : 0;
    if (volume.startSector >= 0 && start <= UINT64_MAX / image::kSectorSize)
        target.volume = image::DeviceSlice::toEnd(*state.reader, start * image::kSectorSize);
    target.volumeBytes = volumes::volumeBytes(volume);
    target.bytesToDiskEnd = bytesOfSectors(start < state.totalSectors ? state.totalSectors - start : 0);
    return std::make_unique<ScanSession>(type->makeScanner(target, sink));
}

}  // namespace vdrec::results
