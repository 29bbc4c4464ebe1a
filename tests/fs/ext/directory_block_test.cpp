// Directory blocks: the live chain, its bounds, removed names in gaps, and name decoding.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fs/ext/directory_block.h"

namespace vdrec::fs::ext {
namespace {

// Writes an entry with the file-type form; returns the offset after its minimal length.
size_t put(std::vector<std::byte>& block, size_t at, uint32_t inode, uint16_t recordLength, const std::string& name,
           uint8_t type = 1) {
    auto set = [&](size_t k, uint8_t v) { block[at + k] = std::byte{v}; };
    for (int k = 0; k < 4; ++k) set(k, static_cast<uint8_t>(inode >> (8 * k)));
    set(4, static_cast<uint8_t>(recordLength));
    set(5, static_cast<uint8_t>(recordLength >> 8));
    set(6, static_cast<uint8_t>(name.size()));
    set(7, type);
    std::memcpy(block.data() + at + 8, name.data(), name.size());
    return at + ((8 + name.size() + 3) & ~size_t{3});
}

std::vector<std::string> names(const std::vector<DirectoryEntry>& entries, bool removed) {
    std::vector<std::string> out;
    for (const auto& e : entries)
        if (e.removed == removed) out.push_back(e.name);
    return out;
}

const DirectoryBlockRules kRules{true, 1000, true};

TEST(ExtDirectoryBlock, ReadsTheChainAndRemovedNamesInItsGaps) {
    std::vector<std::byte> block(1024);
    put(block, 0, 2, 12, ".", 2);
    put(block, 12, 2, 12, "..", 2);
    // "kept.txt" absorbed the record of "gone.txt" when it was removed.
    const size_t gap = put(block, 24, 20, 40, "kept.txt");
    put(block, gap, 21, 24, "gone.txt");
    put(block, 64, 22, 1024 - 64, "last.txt");
    const auto entries = parseDirectoryBlock(platform::Bytes(block.data(), block.size()), kRules);
    EXPECT_EQ(names(entries, false), (std::vector<std::string>{".", "..", "kept.txt", "last.txt"}));
    EXPECT_EQ(names(entries, true), (std::vector<std::string>{"gone.txt"}));
    DirectoryBlockRules noGaps = kRules;
    noGaps.scanGaps = false;
    EXPECT_TRUE(names(parseDirectoryBlock(platform::Bytes(block.data(), block.size()), noGaps), true).empty());
}

TEST(ExtDirectoryBlock, StopsAtAnEntryThatWouldPassTheBlockEnd) {
    struct Case {
        const char* what;
        uint16_t recordLength;
    };
    const Case cases[] = {{"record past the end", 2000}, {"record of zero", 0}, {"record shorter than its name", 8}};
    for (const Case& c : cases) {
        std::vector<std::byte> block(1024);
        put(block, 0, 11, 16, "first");
        put(block, 16, 12, c.recordLength, "second-name");
        const auto entries = parseDirectoryBlock(platform::Bytes(block.data(), block.size()), kRules);
        EXPECT_EQ(names(entries, false), std::vector<std::string>{"first"}) << c.what;
    }
}

TEST(ExtDirectoryBlock, InodeNumbersPastTheVolumeNameNothing) {
    std::vector<std::byte> block(1024);
    put(block, 0, 5000, 16, "stray");
    put(block, 16, 12, 1024 - 16, "fine");
    const auto entries = parseDirectoryBlock(platform::Bytes(block.data(), block.size()), kRules);
    EXPECT_EQ(names(entries, false), std::vector<std::string>{"fine"});
}

TEST(ExtDirectoryBlock, NamesAreUtf8WithInvalidBytesEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain.txt", "plain.txt"},
        {"R\xC3\xA9sum\xC3\xA9", "R\xC3\xA9sum\xC3\xA9"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"latin1-\xE9t\xE9", "latin1-%E9t%E9"},
        {"overlong-\xC0\xAF", "overlong-%C0%AF"},
        {"cut-\xE6\x97", "cut-%E6%97"},
    };
    for (const auto& [raw, text] : cases) EXPECT_EQ(nameText(raw), text) << text;
}

}  // namespace
}  // namespace vdrec::fs::ext
