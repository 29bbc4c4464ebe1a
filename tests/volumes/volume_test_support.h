#pragma once

#include <string>
#include <vector>

#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "volumes/partition.h"
#include "volumes/volume_entry.h"

namespace vdrec::volumes {

struct Expected {
    std::string fileSystem;
    std::string sizeText;
    int64_t startSector;
};

inline std::vector<Expected> summary(const std::vector<VolumeEntry>& records) {
    std::vector<Expected> out;
    for (const auto& r : records) out.push_back({r.fileSystem, r.sizeText, r.startSector});
    return out;
}

inline bool operator==(const Expected& a, const Expected& b) {
    return a.fileSystem == b.fileSystem && a.sizeText == b.sizeText && a.startSector == b.startSector;
}

inline std::ostream& operator<<(std::ostream& out, const Expected& e) {
    return out << "{" << e.fileSystem << ", \"" << e.sizeText << "\", " << e.startSector << "}";
}

// A raw image opened the way the volume page opens it.
struct OpenedDisk {
    explicit OpenedDisk(const std::string& path) : reader(state, sink) { opened = reader.open(path); }
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader;
    bool opened = false;
};

}  // namespace vdrec::volumes
