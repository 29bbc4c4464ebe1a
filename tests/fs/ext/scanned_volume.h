#pragma once
// An ext volume opened from image bytes and scanned as the results page would, for the tests.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::fs::ext {

struct Listed {
    bool folder = false;
    bool deleted = false;
    uint64_t size = 0;
    EntryRef entry = kNoEntry;
};

// A volume opened from image bytes and scanned.
struct ScannedVolume {
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    ExtVolume parser{sink};
    ExtAdapter adapter{parser};
    bool found = false;

    explicit ScannedVolume(std::vector<uint8_t> bytes, std::string sizeText = {}) {
        if (sizeText.empty()) sizeText = std::to_string(bytes.size() >> 20);
        EXPECT_TRUE(reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::move(bytes))));
        parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), vdrec::test::listedBytes(sizeText));
        found = parser.findSuperblock() && parser.loadGroupDescriptors();
        if (!found) return;
        parser.readInodeTables();
        parser.readDirectories();
        parser.keepNamedRecords();
        parser.linkRecords();
    }

    // Every listed path under ROOT, walked as the results tree would.
    std::map<std::string, Listed> listing() const {
        std::map<std::string, Listed> out;
        std::vector<std::pair<EntryRef, std::string>> stack;
        for (EntryRef e : adapter.rootLevel()) stack.emplace_back(e, "");
        while (!stack.empty()) {
            const auto [entry, prefix] = stack.back();
            stack.pop_back();
            const std::string path = prefix + adapter.name(entry);
            out[path] = {adapter.isFolder(entry), adapter.isDeleted(entry, false), parser.dataSize(entry), entry};
            for (EntryRef c = adapter.firstChild(entry); c != kNoEntry; c = adapter.nextSibling(c))
                stack.emplace_back(c, path + "/");
        }
        return out;
    }
};

inline std::vector<uint8_t> image(const std::string& name) { return test::readFile(test::fixture(name)); }

// The bytes `path` is saved as; the save must end with `expected`.
inline std::string saved(ScannedVolume& volume, const std::string& path, const test::TempDir& out, CopyStatus expected = CopyStatus::Ok) {
    const auto listing = volume.listing();
    const auto it = listing.find(path);
    if (it == listing.end()) return "<not listed>";
    const std::string destination = out.file(std::to_string(it->second.entry));
    const CopyResult result = volume.adapter.saveFile(it->second.entry, destination);
    EXPECT_EQ(result.status, expected) << path;
    const auto bytes = test::readFile(destination);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace vdrec::fs::ext
