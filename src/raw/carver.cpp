#include "raw/carver.h"

#include <algorithm>

#include "platform/output_file.h"
#include "platform/text_format.h"
#include "results/output_names.h"

namespace vdrec::raw {

namespace {

constexpr uint32_t kSaveBlock = 1u << 20;

}  // namespace

std::string categoryText(const Category& category) {
    return platform::format("%s (%lld)", category.name.c_str(), static_cast<long long>(category.count));
}

std::string foundFileName(uint64_t position, std::string_view extension) {
    return platform::format("%lld .", static_cast<long long>(position)) + std::string(extension);
}

Carver::Carver(const image::BlockDevice& disk) : disk_(disk) {}

image::DeviceSlice Carver::area() const {
    if (areaStartSector_ < 0 || static_cast<uint64_t>(areaStartSector_) > UINT64_MAX / kCarveSectorSize) return {};
    return image::DeviceSlice(disk_, static_cast<uint64_t>(areaStartSector_) * kCarveSectorSize, areaBytes_);
}

void Carver::addSignatures(std::span<const SignatureRecord> records) {
    for (const SignatureRecord& record : records) {
        Signature signature = signatureFromRecord(record, signatures_.size());
        // One folder per category name, wherever the signatures naming it stand.
        auto category = std::find_if(categories_.begin(), categories_.end(),
                                     [&](const Category& c) { return c.name == signature.category; });
        if (category == categories_.end()) {
            categories_.push_back(Category{signature.category, 0});
            category = categories_.end() - 1;
        }
        signatureCategory_.push_back(static_cast<size_t>(category - categories_.begin()));
        signatures_.push_back(std::move(signature));
    }
}

void Carver::setArea(int64_t startSector, uint64_t bytes) {
    areaStartSector_ = std::max<int64_t>(startSector, 0);
    areaBytes_ = bytes;
}

void Carver::registerFind(uint64_t start, uint64_t length, const Signature& signature) {
    FoundFile file;
    file.start = start;
    file.length = length;
    file.signature = signature.id;
    file.category = signatureCategory_[signature.id];
    file.name = foundFileName(start, signature.extension);
    Category& category = categories_[file.category];
    ++category.count;
    found_.push_back(std::move(file));
    if (onFound) onFound(found_.back(), category);
}

void Carver::stop() {
    {
        std::lock_guard lock(pauseMutex_);
        stop_.store(true);
    }
    pauseChanged_.notify_all();
}

void Carver::pause() {
    std::lock_guard lock(pauseMutex_);
    paused_.store(true);
}

void Carver::resume() {
    {
        std::lock_guard lock(pauseMutex_);
        paused_.store(false);
    }
    pauseChanged_.notify_all();
}

bool Carver::paused() const { return paused_.load(); }

bool Carver::waitWhilePaused() {
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock, [&] { return !paused_.load() || stop_.load(); });
    return !stop_.load();
}

SavedFind Carver::save(const FoundFile& file, const std::string& folder) {
    SavedFind saved;
    saved.output = results::uniqueOutputPath(folder, results::safeOutputName(file.name));
    auto out = platform::OutputFile::create(saved.output, platform::OutputFile::Mode::CreateNew, saved.error);
    if (!out) return saved;
    const image::DeviceSlice area = this->area();
    // Never past the area, whatever length the find was given.
    const uint64_t end = file.start >= areaBytes_ ? file.start : std::min(areaBytes_, file.start + file.length);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kSaveBlock, std::max<uint64_t>(end - file.start, 1))));
    for (uint64_t at = file.start; at < end && saved.error == 0;) {
        const auto size = static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), end - at));
        if (!area.readAt(at, buffer.data(), size)) {
            // Zeros stand in for what cannot be read, never the previous block's bytes.
            std::fill_n(buffer.begin(), size, uint8_t{0});
            saved.readFailed = true;
        }
        saved.error = out->writeAt(at - file.start, buffer.data(), size);
        if (saved.error == 0) saved.bytes += size;
        at += size;
    }
    const int closeError = out->close();
    if (saved.error == 0) saved.error = closeError;
    return saved;
}

}  // namespace vdrec::raw
