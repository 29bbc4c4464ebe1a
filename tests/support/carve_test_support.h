#pragma once
// In-memory disks for the carving tests and a carver reading them.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/image_file.h"
#include "platform/recording_sink.h"
#include "raw/carver.h"

namespace vdrec::raw::test {

inline SignatureRecord signature(const std::string& extension, std::vector<uint8_t> start,
                                 std::vector<uint8_t> end = {}, const std::string& category = "Found") {
    SignatureRecord record;
    record.extension = extension;
    record.extensionLength = static_cast<uint8_t>(extension.size());
    std::copy(start.begin(), start.end(), record.startSignature.begin());
    std::copy(end.begin(), end.end(), record.endSignature.begin());
    record.startLength = static_cast<uint8_t>(start.size());
    record.endLength = static_cast<uint8_t>(end.size());
    record.category = category;
    return record;
}

inline void put(std::vector<uint8_t>& disk, uint64_t at, const std::vector<uint8_t>& bytes) {
    std::memcpy(disk.data() + at, bytes.data(), bytes.size());
}

struct Find {
    std::string name;
    uint64_t length;
    bool operator==(const Find&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Find& find) {
    return out << '{' << find.name << ", " << find.length << '}';
}

class CarvedDisk {
public:
    explicit CarvedDisk(std::vector<uint8_t> disk) : reader_(state_, openSink_) {
        reader_.openSource("disk.img", std::make_unique<platform::MemorySource>(std::move(disk)));
    }

    Carver& carver() { return carver_; }
    image::RawReader& reader() { return reader_; }
    platform::RecordingSink& sink() { return sink_; }

    std::vector<Find> carve(const std::vector<SignatureRecord>& records, int64_t startSector, uint64_t bytes) {
        carver_.addSignatures(records);
        carver_.setArea(startSector, bytes);
        carver_.run(sink_);
        std::vector<Find> finds;
        for (const FoundFile& file : carver_.foundFiles()) finds.push_back({file.name, file.length});
        return finds;
    }

private:
    image::WizardState state_;
    platform::RecordingSink openSink_, sink_;
    image::RawReader reader_;
    Carver carver_{reader_};
};

}  // namespace vdrec::raw::test
