#include "fs/ntfs/ntfs_test_volume.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vdrec::fs::ntfs::test {

TestVolume::TestVolume(const std::string& imagePath, int64_t startSector, std::string sizeText) {
    if (!reader.open(imagePath)) throw std::runtime_error("cannot open " + imagePath);
    parser.bind(vdrec::image::DeviceSlice::toEnd(reader, static_cast<uint64_t>(startSector) * 512), vdrec::test::listedBytes(sizeText));
}

void TestVolume::scan(int mode) {
    parser.readBootSector();
    parser.scanMode = mode;
    if (mode == NtfsVolume::kDeep) parser.deepScanMft();
    else parser.locateMft();
    parser.collectMftRecords();
    parser.parseAllRecords();
}

int TestVolume::advanced(size_t index, int sectorsPerCluster, int maxCount) {
    parser.readBootSector();
    const int found = parser.findMftAnchors(maxCount);
    parser.stopRequested = false;
    parser.scanMode = NtfsVolume::kAdvanced;
    parser.resetForAnchor();
    parser.selectMftAnchor(index);
    if (sectorsPerCluster > 0) parser.clusterBytes = uint64_t(sectorsPerCluster) * 512;
    parser.collectMftRecords();
    parser.parseAllRecords();
    return found;
}

EntryRef TestVolume::find(const std::string& path) const {
    std::vector<EntryRef> level = adapter.rootLevel();
    size_t start = 0;
    EntryRef found = kNoEntry;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        found = kNoEntry;
        for (EntryRef candidate : level)
            if (adapter.name(candidate) == part) found = candidate;
        if (found == kNoEntry || slash == std::string::npos) return found;
        level.clear();
        for (EntryRef c = adapter.firstChild(found); c != kNoEntry && level.size() < 100000; c = adapter.nextSibling(c))
            level.push_back(c);
        start = slash + 1;
    }
    return found;
}

void TestVolume::walk(EntryRef entry, const std::string& prefix, std::vector<std::string>& out, int depth) const {
    const std::string path = prefix + adapter.name(entry) + (adapter.isFolder(entry) ? "/" : "");
    out.push_back((adapter.isDeleted(entry, false) ? "* " : "") + path);
    if (depth > 30) return;
    for (EntryRef c = adapter.firstChild(entry); c != kNoEntry; c = adapter.nextSibling(c)) walk(c, path, out, depth + 1);
}

std::vector<std::string> TestVolume::listing() const {
    std::vector<std::string> out;
    for (EntryRef entry : adapter.rootLevel()) walk(entry, "", out, 0);
    return out;
}

std::vector<uint8_t> TestVolume::save(EntryRef entry, CopyResult* result) {
    vdrec::test::TempDir dir;
    const std::string path = dir.file("saved");
    const CopyResult copied = adapter.saveFile(entry, path);
    if (result) *result = copied;
    if (copied.status == CopyStatus::Failed) return {};
    return vdrec::test::readFile(path);
}

std::vector<uint8_t> icat(const std::string& imagePath, int64_t startSector, uint64_t record) {
    const auto run = vdrec::test::run("icat -o " + std::to_string(startSector) + " '" + imagePath + "' " +
                                      std::to_string(record));
    EXPECT_EQ(run.status, 0) << run.err;
    return std::vector<uint8_t>(run.out.begin(), run.out.end());
}

}  // namespace vdrec::fs::ntfs::test
