#pragma once
// The carving engine: finds files in an area of the disk by their signatures, with no help from
// a file system. Every 512-byte sector is tested; a found file's length comes from its format's
// own structure where the format is known, else from the signature's end signature, size field
// or approximate size.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/block_device.h"
#include "platform/ui_sink.h"
#include "raw/signature.h"
#include "raw/signature_record.h"

namespace vdrec::raw {

inline constexpr std::string_view kRawRecoveryRoot = "RAW RECOVERY ";
inline constexpr std::string_view kCarverNotInitialized = "not properly initialized";
inline constexpr std::string_view kCarveDone = "done..";

// One category folder of the results: its name and the finds booked to it.
struct Category {
    std::string name;
    uint64_t count = 0;
};
// "%s (%lld)": the category's folder text.
std::string categoryText(const Category& category);
// "%lld ." of the position followed by the extension, e.g. "1048576 .jpg".
std::string foundFileName(uint64_t position, std::string_view extension);

struct FoundFile {
    uint64_t start = 0;   // bytes from the start of the area
    uint64_t length = 0;
    size_t signature = 0; // the signature's id
    size_t category = 0;  // index into categories()
    std::string name;
};

// A found file written out, or why it was not.
struct SavedFind {
    std::string output;   // the path written
    uint64_t bytes = 0;
    int error = 0;        // errno of a failed create or write; 0 when the copy is whole
    bool readFailed = false;  // part of the area could not be read (zeros stand in for it)
};

class Carver {
public:
    explicit Carver(const image::BlockDevice& disk);
    Carver(const Carver&) = delete;
    Carver& operator=(const Carver&) = delete;

    // Appends signatures; their ids continue after those added before. Each new category gets
    // a folder, in the order the signatures first name it. Not while running.
    void addSignatures(std::span<const SignatureRecord> records);
    const std::vector<Signature>& signatures() const { return signatures_; }
    // The category folders; counts change while a run goes on (read them from onFound).
    const std::vector<Category>& categories() const { return categories_; }
    size_t categoryOf(size_t signatureId) const { return signatureCategory_.at(signatureId); }

    // The area to carve: `bytes` from sector `startSector` of the disk; runs and saves read only it.
    void setArea(int64_t startSector, uint64_t bytes);
    uint64_t areaBytes() const { return areaBytes_; }

    // Called on the running thread for each find, after its category count went up.
    std::function<void(const FoundFile& file, const Category& category)> onFound;

    // Scans the whole area (or until stopped); progress goes through the sink: range 0 to 1000,
    // then 0 to the number of 1 MiB chunks, and the position as chunks are done. Ends with
    // "done..". False, after "not properly initialized", when there is nothing to carve with.
    bool run(platform::UiSink& sink);

    // From any thread.
    void stop();
    void pause();
    void resume();
    bool paused() const;
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }

    // Finds in the order they were made; complete once run() has returned.
    const std::vector<FoundFile>& foundFiles() const { return found_; }

    // Copies a find's bytes into a new file in `folder`, named by the find's name made safe and
    // unique there. Never writes outside `folder`.
    SavedFind save(const FoundFile& file, const std::string& folder);

private:
    friend class CarveScan;

    // Blocks while paused; false once a stop was requested.
    bool waitWhilePaused();
    void registerFind(uint64_t start, uint64_t length, const Signature& signature);

    const image::BlockDevice& disk_;
    // The area as its own device: offsets of finds are the area's.
    image::DeviceSlice area() const;
    std::vector<Signature> signatures_;
    std::vector<Category> categories_;
    std::vector<size_t> signatureCategory_;
    std::vector<FoundFile> found_;
    int64_t areaStartSector_ = 0;
    uint64_t areaBytes_ = 0;

    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    mutable std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
};

}  // namespace vdrec::raw
