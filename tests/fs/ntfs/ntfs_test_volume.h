#pragma once
// An NTFS volume of a fixture image, parsed the way the results page's worker drives the parser.

#include <memory>
#include <string>
#include <vector>

#include "fs/ntfs/ntfs_volume.h"
#include "fs/ntfs/ntfs_adapter.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"

namespace vdrec::fs::ntfs::test {

class TestVolume {
public:
    // Opens `imagePath` and binds a parser to the volume at `startSector`.
    TestVolume(const std::string& imagePath, int64_t startSector, std::string sizeText);

    // The worker's steps for standard (1) and deep (3) mode.
    void scan(int mode = NtfsVolume::kStandard);
    // Anchor search, then the advanced sequence with anchor `index` and `sectorsPerCluster`.
    int advanced(size_t index, int sectorsPerCluster, int maxCount = 3);

    // The entry reached by a '/'-separated path of names from the root level; kNoEntry if none.
    EntryRef find(const std::string& path) const;
    // Every "path" under the root level, folders ending in '/', deleted ones prefixed "* ".
    std::vector<std::string> listing() const;
    std::vector<uint8_t> save(EntryRef entry, CopyResult* result = nullptr);

    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    NtfsVolume parser{sink};
    NtfsAdapter adapter{parser};

private:
    void walk(EntryRef folder, const std::string& prefix, std::vector<std::string>& out, int depth) const;
};

// Bytes of a file as The Sleuth Kit's icat reads its unnamed data.
std::vector<uint8_t> icat(const std::string& imagePath, int64_t startSector, uint64_t record);

}  // namespace vdrec::fs::ntfs::test
