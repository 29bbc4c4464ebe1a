#include <gtest/gtest.h>

#include "fs/ntfs/run_list.h"

namespace vdrec::fs::ntfs {
namespace {

struct RunCase {
    const char* what;
    std::vector<uint8_t> pairs;
    uint64_t vcnCount;
    std::vector<DataRun> expected;
};

bool same(const std::vector<DataRun>& a, const std::vector<DataRun>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k].lcn != b[k].lcn || a[k].length != b[k].length || a[k].sparse != b[k].sparse) return false;
    return true;
}

std::string show(const std::vector<DataRun>& runs) {
    std::string text;
    for (const auto& r : runs)
        text += "{" + std::to_string(r.lcn) + "," + std::to_string(r.length) + (r.sparse ? ",sparse" : "") + "} ";
    return text;
}

TEST(DataRuns, DecodeMappingPairsAsTheVolumeHoldsThem) {
    const RunCase cases[] = {
        {"one run", {0x11, 0x10, 0x20, 0x00}, 100, {{32, 16, false}}},
        {"3-byte offset of -1 steps back one cluster", {0x11, 0x08, 0x20, 0x31, 0x04, 0xFF, 0xFF, 0xFF, 0x00}, 100,
         {{32, 8, false}, {31, 4, false}}},
        {"sparse run between two runs", {0x11, 0x04, 0x10, 0x01, 0x08, 0x11, 0x04, 0x10, 0x00}, 100,
         {{16, 4, false}, {0, 8, true}, {32, 4, false}}},
        {"runs beyond the VCN range are dropped", {0x11, 0x08, 0x20, 0x11, 0x08, 0x10, 0x00}, 10, {{32, 8, false}}},
        {"cluster numbers above 2^31 stay positive", {0x51, 0x10, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00}, 100,
         {{2147483648LL, 16, false}}},
        {"cluster numbers above 2^32", {0x51, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}, 100, {{4294967296LL, 1, false}}},
        {"run lengths above 2^32", {0x15, 0x00, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00}, uint64_t{1} << 40,
         {{8, 4294967296ULL, false}}},
        {"a field running past the pairs ends the list", {0x11, 0x04, 0x10, 0x21, 0x10, 0x20}, 100, {{16, 4, false}}},
        {"a field wider than 8 bytes ends the list", {0x11, 0x04, 0x10, 0x91, 0x01}, 100, {{16, 4, false}}},
        {"no terminator: the list ends with the pairs", {0x11, 0x04, 0x10}, 100, {{16, 4, false}}},
        {"empty attribute", {0x11, 0x04, 0x10, 0x00}, 0, {}},
    };
    for (const auto& c : cases) {
        const auto runs = decodeDataRuns(platform::asBytes(c.pairs.data(), c.pairs.size()), c.vcnCount);
        EXPECT_TRUE(same(runs, c.expected)) << c.what << ": got " << show(runs);
    }
}

}  // namespace
}  // namespace vdrec::fs::ntfs
