// Short entries, long-name runs and the boot sector's parameter block, decoded from byte buffers.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "fs/fat/directory_entry.h"
#include "fs/fat/fat_boot_sector.h"

namespace vdrec::fs::fat {
namespace {

ShortEntry shortEntry(const char (&name)[12], uint8_t caseFlags = 0) {
    ShortEntry entry;
    std::memcpy(entry.name.data(), name, 11);
    entry.caseFlags = caseFlags;
    return entry;
}

TEST(ShortName, ShowsBaseAndExtensionTrimmedWithADotOnlyBeforeAnExtension) {
    const struct {
        const char name[12];
        uint8_t caseFlags;
        const char* shown;
    } cases[] = {
        {"README  TXT", 0, "README.TXT"},
        {"FILE       ", 0, "FILE"},
        {"MY FI   TXT", 0, "MY FI.TXT"},
        {"A       B  ", 0, "A.B"},
        {"DOCS       ", 0, "DOCS"},
        {"README  MD ", 0x08, "readme.MD"},
        {"README  MD ", 0x18, "readme.md"},
        {"\xE5" "EADME  TXT", 0, "\xEF\xBF\xA5" "EADME.TXT"},  // the deletion mark shows as U+FFE5
        {"\x05" "ABC    TXT", 0, "\xC3\xA5" "ABC.TXT"},         // 0x05 stands for a real 0xE5 byte
        {"CAF\xC9    TXT", 0, "CAF\xC3\x89.TXT"},               // Windows-1252
    };
    for (const auto& c : cases) EXPECT_EQ(shortNameText(shortEntry(c.name, c.caseFlags)), c.shown) << c.name;
}

TEST(ShortName, AttributesTellFoldersFilesLabelsAndLongNameSlots) {
    // Read-only, hidden, system and no-archive folders are folders; such files are files.
    for (uint8_t a : {0x10, 0x11, 0x12, 0x13, 0x14, 0x16, 0x30, 0x37}) EXPECT_TRUE(isFolderAttribute(a)) << int(a);
    for (uint8_t a : {0x00, 0x01, 0x02, 0x04, 0x20, 0x21, 0x27}) EXPECT_TRUE(isFileAttribute(a)) << int(a);
    for (uint8_t a : {0x08, 0x28}) EXPECT_TRUE(isLabel(a) && !isFileAttribute(a) && !isFolderAttribute(a)) << int(a);
    EXPECT_TRUE(isLongNameSlot(0x0F) && !isLabel(0x0F) && !isFileAttribute(0x0F));
}

// Long-name slots for `name` as a writer stores them: last part first, then the short entry.
std::vector<LongNameSlot> longNameSlots(const std::u16string& name, uint8_t checksum) {
    const size_t count = (name.size() + 12) / 13;
    std::vector<LongNameSlot> slots;
    for (size_t ordinal = count; ordinal >= 1; --ordinal) {
        LongNameSlot slot;
        slot.sequence = static_cast<uint8_t>(ordinal | (ordinal == count ? 0x40 : 0));
        slot.checksum = checksum;
        slot.characters.fill(0xFFFF);
        for (size_t k = 0; k < 13; ++k) {
            const size_t at = (ordinal - 1) * 13 + k;
            if (at < name.size()) slot.characters[k] = name[at];
            else if (at == name.size()) slot.characters[k] = 0;
        }
        slots.push_back(slot);
    }
    return slots;
}

TEST(LongNameRun, NamesTheShortEntryWhoseChecksumItCarries) {
    const ShortEntry entry = shortEntry("LONGNA~1TXT");
    const std::u16string name = u"A long name.txt";
    LongNameRun run;
    for (const auto& slot : longNameSlots(name, shortNameChecksum(entry.name))) run.add(slot, false);
    EXPECT_EQ(run.nameFor(entry), "A long name.txt");
    // The same run before another short entry names nothing: it belongs to a removed file.
    EXPECT_EQ(run.nameFor(shortEntry("OTHER   TXT")), std::nullopt);
}

TEST(LongNameRun, CollectsNamesOfUpTo255CharactersFrom20Slots) {
    const ShortEntry entry = shortEntry("NAME-O~1TXT");
    for (size_t length : {130u, 131u, 200u, 255u}) {
        std::u16string name;
        for (size_t k = 0; k < length; ++k) name += static_cast<char16_t>(u'0' + k % 10);
        LongNameRun run;
        for (const auto& slot : longNameSlots(name, shortNameChecksum(entry.name))) run.add(slot, false);
        const auto got = run.nameFor(entry);
        ASSERT_TRUE(got) << length;
        EXPECT_EQ(got->size(), length);
    }
}

TEST(LongNameRun, DeletedRunNamesTheDeletedShortEntryAfterIt) {
    const ShortEntry live = shortEntry("DELETE~1TXT");
    auto slots = longNameSlots(u"Deleted Long Name File.txt", shortNameChecksum(live.name));
    LongNameRun run;
    for (auto& slot : slots) run.add(slot, true);  // every slot's first byte became 0xE5
    EXPECT_EQ(run.nameFor(shortEntry("\xE5" "ELETE~1TXT")), "Deleted Long Name File.txt");
    // A live entry written into the freed slot does not take the old name.
    EXPECT_EQ(run.nameFor(live), std::nullopt);
}

TEST(LongNameRun, ARunFlaggedAsLastPartStartsAfresh) {
    const ShortEntry entry = shortEntry("NEW     TXT");
    LongNameRun run;
    for (const auto& slot : longNameSlots(u"leftover of an older name", 0x11)) run.add(slot, false);
    for (const auto& slot : longNameSlots(u"new.txt", shortNameChecksum(entry.name))) run.add(slot, false);
    EXPECT_EQ(run.nameFor(entry), "new.txt");
}

std::vector<uint8_t> bootSector(uint16_t bytesPerSector, uint8_t sectorsPerCluster, uint16_t rootEntries,
                                uint16_t sectorsPerFat16, uint32_t sectorsPerFat32, const char* oem) {
    std::vector<uint8_t> sector(512, 0);
    sector[0] = 0xEB, sector[1] = 0x3C, sector[2] = 0x90;
    std::memcpy(&sector[3], oem, std::strlen(oem));
    sector[11] = bytesPerSector & 0xFF, sector[12] = bytesPerSector >> 8;
    sector[13] = sectorsPerCluster;
    sector[14] = 4;  // reserved sectors
    sector[16] = 2;  // FATs
    sector[17] = rootEntries & 0xFF, sector[18] = rootEntries >> 8;
    sector[22] = sectorsPerFat16 & 0xFF, sector[23] = sectorsPerFat16 >> 8;
    std::memcpy(&sector[32], "\x00\x00\x01\x00", 4);  // 65536 sectors
    std::memcpy(&sector[36], &sectorsPerFat32, 4);
    sector[44] = 2;  // root cluster
    sector[510] = 0x55, sector[511] = 0xAA;
    return sector;
}

TEST(FatBootSector, TrustsTheParameterBlockNotTheOemName) {
    for (const char* oem : {"mkfs.fat", "MSWIN4.1", "MSDOS5.0", "BSD  4.4", "        "}) {
        const auto sector = bootSector(512, 4, 512, 64, 0, oem);
        const auto boot = decodeFatBootSector(platform::asBytes(sector.data(), sector.size()));
        ASSERT_TRUE(boot) << oem;
        EXPECT_EQ(boot->type, FatType::Fat16);
        EXPECT_EQ(boot->clusterBytes(), 2048u);
        EXPECT_EQ(boot->rootDirOffset(), (4 + 2 * 64) * 512u);
        EXPECT_EQ(boot->dataOffset(), (4 + 2 * 64 + 32) * 512u);
    }
    const auto fat32 = bootSector(512, 1, 0, 0, 536, "mkfs.fat");
    const auto boot = decodeFatBootSector(platform::asBytes(fat32.data(), fat32.size()));
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->type, FatType::Fat32);
    EXPECT_EQ(boot->rootCluster, 2u);
    EXPECT_EQ(boot->dataOffset(), (4 + 2 * 536) * 512u);
}

TEST(FatBootSector, RejectsUnusableValuesAndRoundsTheRootUpToWholeSectors) {
    const struct {
        uint16_t bytesPerSector;
        uint8_t sectorsPerCluster;
        uint16_t rootEntries;
    } refused[] = {{512, 0, 512}, {512, 3, 512}, {0, 4, 512}, {500, 4, 512}, {512, 4, 0}};
    for (const auto& c : refused) {
        const auto sector = bootSector(c.bytesPerSector, c.sectorsPerCluster, c.rootEntries, 64, 0, "MSDOS5.0");
        EXPECT_FALSE(decodeFatBootSector(platform::asBytes(sector.data(), sector.size())))
            << c.bytesPerSector << " " << int(c.sectorsPerCluster) << " " << c.rootEntries;
    }
    // 17 slots need 544 bytes: the data area starts after two whole sectors.
    const auto sector = bootSector(512, 4, 17, 64, 0, "MSDOS5.0");
    const auto boot = decodeFatBootSector(platform::asBytes(sector.data(), sector.size()));
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->rootDirBytes(), 1024u);
    EXPECT_FALSE(decodeFatBootSector(platform::asBytes(sector.data(), 511)));
}

}  // namespace
}  // namespace vdrec::fs::fat
