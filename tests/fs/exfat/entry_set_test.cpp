// Entry sets and boot sectors decoded from the bytes the format defines.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fs/exfat/boot_sector.h"
#include "fs/exfat/entry_set.h"

namespace vdrec::fs::exfat {
namespace {

// A directory stream built entry by entry: a File entry, a Stream Extension and name entries.
struct Stream {
    std::vector<std::byte> bytes;

    size_t entry(uint8_t type) {
        bytes.resize(bytes.size() + kEntryBytes);
        bytes[bytes.size() - kEntryBytes] = std::byte{type};
        return bytes.size() - kEntryBytes;
    }
    void put(size_t at, uint8_t value) { bytes[at] = std::byte{value}; }
    void file(uint8_t type, uint8_t secondaryCount, uint16_t attributes) {
        const size_t at = entry(type);
        put(at + 1, secondaryCount);
        put(at + 4, attributes & 0xFF);
        put(at + 5, attributes >> 8);
    }
    void stream(uint8_t type, uint8_t nameLength, uint8_t flags = 0x03) {
        const size_t at = entry(type);
        put(at + 1, flags);
        put(at + 3, nameLength);
    }
    void name(uint8_t type, const std::string& text) {
        const size_t at = entry(type);
        for (size_t k = 0; k < text.size() && k < 15; ++k) put(at + 2 + 2 * k, static_cast<uint8_t>(text[k]));
    }
    platform::Bytes span() const { return platform::Bytes(bytes.data(), bytes.size()); }
};

TEST(ExfatEntrySet, TakesNameLengthCharactersFromTheSetsOwnNameEntries) {
    const struct {
        const char* what;
        uint8_t secondaryCount, nameLength;
        std::vector<std::string> names;
        std::string expected;
        size_t entries;
    } cases[] = {
        {"15 characters fill one entry", 2, 15, {"fifteen-chars.x"}, "fifteen-chars.x", 3},
        {"16 characters take one more", 3, 16, {"sixteen-chars.x", "y"}, "sixteen-chars.xy", 4},
        // A shorter name written over a longer one leaves a stale third entry behind.
        {"a stale name entry past SecondaryCount is not part of the name", 2, 5, {"short", "stale-name-part"}, "short", 3},
        {"NameLength cuts an entry's leftovers", 2, 3, {"abcdefgh"}, "abc", 3},
    };
    for (const auto& c : cases) {
        Stream s;
        s.file(entry_type::kFile, c.secondaryCount, 0x20);
        s.stream(entry_type::kStream, c.nameLength);
        for (const auto& name : c.names) s.name(entry_type::kFileName, name);
        const auto decoded = decodeEntrySet(s.span(), 0);
        ASSERT_TRUE(decoded) << c.what;
        EXPECT_EQ(decoded->set.name, c.expected) << c.what;
        EXPECT_EQ(decoded->entries, c.entries) << c.what;
    }
}

TEST(ExfatEntrySet, ASetWithoutStreamExtensionIsNoSetAndTakesNothingFromItsNeighbour) {
    Stream s;
    s.file(entry_type::kFile, 2, 0x20);
    s.stream(entry_type::kStream, 5);
    s.name(entry_type::kFileName, "first");
    s.file(entry_type::kDeletedFile, 2, 0x20);  // its stream entry was overwritten
    s.name(entry_type::kFileName, "other");
    EXPECT_TRUE(decodeEntrySet(s.span(), 0));
    EXPECT_FALSE(decodeEntrySet(s.span(), 3 * kEntryBytes));
}

TEST(ExfatEntrySet, ADeletedSetKeepsItsNameAndIsMarkedDeleted) {
    Stream s;
    s.file(entry_type::kDeletedFile, 2, 0x20);
    s.stream(entry_type::kDeletedStream, 7);
    s.name(entry_type::kDeletedFileName, "old.txt");
    const auto decoded = decodeEntrySet(s.span(), 0);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->set.deleted);
    EXPECT_EQ(decoded->set.name, "old.txt");
}

TEST(ExfatEntrySet, AFolderIsAnyEntryWithTheDirectoryBit) {
    for (uint16_t attributes : {0x10, 0x14, 0x17, 0x30, 0x31}) {
        Stream s;
        s.file(entry_type::kFile, 2, attributes);
        s.stream(entry_type::kStream, 1);
        s.name(entry_type::kFileName, "d");
        EXPECT_TRUE(decodeEntrySet(s.span(), 0)->set.isFolder()) << attributes;
    }
    for (uint16_t attributes : {0x00, 0x01, 0x20, 0x21, 0x27}) {
        Stream s;
        s.file(entry_type::kFile, 2, attributes);
        s.stream(entry_type::kStream, 1);
        s.name(entry_type::kFileName, "f");
        EXPECT_FALSE(decodeEntrySet(s.span(), 0)->set.isFolder()) << attributes;
    }
}

TEST(ExfatEntrySet, TheScanRejectsASetMissingANameEntry) {
    Stream s;
    s.file(entry_type::kFile, 3, 0x20);
    s.stream(entry_type::kStream, 16, 0x01);
    s.name(entry_type::kFileName, "sixteen-chars.x");
    EXPECT_FALSE(plausibleEntrySet(s.span(), 0));
    s.name(entry_type::kFileName, "y");
    EXPECT_TRUE(plausibleEntrySet(s.span(), 0));
}

TEST(ExfatBootSector, RequiresSectorsOf512To4096BytesAndClustersOfAtMost32MiB) {
    const struct {
        uint8_t sectorShift, clusterShift;
        bool accepted;
    } cases[] = {{9, 3, true}, {12, 13, true}, {9, 16, true}, {8, 0, false}, {13, 0, false},
                 {12, 14, false}, {9, 17, false}, {9, 255, false}, {0, 0, false}};
    for (const auto& c : cases) {
        std::array<std::byte, 512> sector{};
        for (size_t k = 0; k < 5; ++k) sector[3 + k] = std::byte{static_cast<uint8_t>("EXFAT"[k])};
        sector[108] = std::byte{c.sectorShift};
        sector[109] = std::byte{c.clusterShift};
        EXPECT_EQ(decodeExfatBootSector(platform::Bytes(sector.data(), sector.size())).has_value(), c.accepted)
            << int(c.sectorShift) << " " << int(c.clusterShift);
    }
}

}  // namespace
}  // namespace vdrec::fs::exfat
