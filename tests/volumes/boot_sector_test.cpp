#include "volumes/boot_sector.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/test_support.h"

namespace vdrec::volumes {
namespace {

std::array<uint8_t, 512> sectorAt(const std::string& image, uint64_t sector) {
    const auto bytes = test::readFile(test::fixture(image));
    std::array<uint8_t, 512> out{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(sector * 512), 512, out.begin());
    return out;
}

TEST(BootSector, RecognisesRealVolumesWhateverTheirOemName) {
    struct Case {
        const char* image;
        uint64_t sector;
        BootKind kind;
        uint64_t sizeBytes;
    } cases[] = {
        {"gpt.img", 2048, BootKind::Fat32, 69632ull * 512},    // OEM "mkfs.fat"
        {"mbr-ext.img", 12288, BootKind::Fat16, 8192ull * 512}, // OEM "mkfs.fat"
        {"mbr-ext.img", 2048, BootKind::Ntfs, 8191ull * 512},
        {"mbr-ext.img", 22528, BootKind::None, 0},              // ext4 has no boot sector test
        {"mbr-ext.img", 0, BootKind::None, 0},
    };
    for (const auto& c : cases) {
        const auto sector = sectorAt(c.image, c.sector);
        const auto find = classifyBootSector(sector, NtfsCheck::WithOemName);
        EXPECT_EQ(find.kind, c.kind) << c.image << " @" << c.sector;
        EXPECT_EQ(find.sizeBytes, c.sizeBytes) << c.image << " @" << c.sector;
    }
}

TEST(BootSector, FatNeedsAPlausibleParameterBlock) {
    using Patch = std::function<void(std::array<uint8_t, 512>&)>;
    struct Case {
        const char* what;
        Patch patch;
        BootKind kind;
    } cases[] = {
        {"OEM name MSWIN4.1", [](auto& s) { std::copy_n("MSWIN4.1", 8, s.begin() + 3); }, BootKind::Fat16},
        {"no 0x55AA", [](auto& s) { s[510] = 0; }, BootKind::None},
        {"bytes per sector 1000", [](auto& s) { s[11] = 0xE8; s[12] = 0x03; }, BootKind::None},
        {"bytes per sector 8192", [](auto& s) { s[11] = 0; s[12] = 0x20; }, BootKind::None},
        {"sectors per cluster 3", [](auto& s) { s[13] = 3; }, BootKind::None},
        {"no reserved sectors", [](auto& s) { s[14] = 0; s[15] = 0; }, BootKind::None},
        {"no FATs", [](auto& s) { s[16] = 0; }, BootKind::None},
        {"too few clusters for FAT16", [](auto& s) { s[13] = 8; }, BootKind::FatUnknown},
        {"wrong jump", [](auto& s) { s[1] = 0x10; }, BootKind::None},
    };
    const auto original = sectorAt("mbr-ext.img", 12288);
    for (const auto& c : cases) {
        auto sector = original;
        c.patch(sector);
        EXPECT_EQ(classifyBootSector(sector, NtfsCheck::WithOemName).kind, c.kind) << c.what;
    }
}

TEST(BootSector, Fat32NeedsItsOwnClusterRange) {
    auto sector = sectorAt("gpt.img", 2048);
    sector[13] = 4;  // 4-sector clusters leave far fewer than 65525 clusters
    EXPECT_EQ(classifyBootSector(sector, NtfsCheck::WithOemName).kind, BootKind::FatUnknown);
}

TEST(BootSector, NtfsOemNameMattersOnlyToTheAdvancedScan) {
    auto sector = sectorAt("mbr-ext.img", 2048);
    std::copy_n("XXXX", 4, sector.begin() + 3);
    EXPECT_EQ(classifyBootSector(sector, NtfsCheck::JumpOnly).kind, BootKind::Ntfs);
    EXPECT_EQ(classifyBootSector(sector, NtfsCheck::WithOemName).kind, BootKind::None);
    sector = sectorAt("mbr-ext.img", 2048);
    sector[12] = 0x10;  // 4096-byte sectors
    EXPECT_EQ(classifyBootSector(sector, NtfsCheck::JumpOnly).kind, BootKind::None);
}

TEST(BootSector, ExfatAndHfsPlusSignatures) {
    std::array<uint8_t, 512> exfat{};
    exfat[0] = 0xEB;
    exfat[1] = 0x76;
    std::copy_n("EXFAT   ", 8, exfat.begin() + 3);
    exfat[72] = 0x00;
    exfat[73] = 0x80;  // 32768 sectors
    const auto find = classifyBootSector(exfat, NtfsCheck::WithOemName);
    EXPECT_EQ(find.kind, BootKind::Exfat);
    EXPECT_EQ(find.sizeBytes, 32768ull * 512);

    std::array<uint8_t, 512> hfs{};
    hfs[0] = 'H';
    hfs[1] = '+';
    hfs[42] = 0x10;  // block size 4096 (big-endian at 40)
    hfs[47] = 0x80;  // 128 blocks (big-endian at 44)
    EXPECT_EQ(hfsPlusHeaderSize(hfs), 4096ull * 128);
    hfs[2] = 1;
    EXPECT_FALSE(hfsPlusHeaderSize(hfs));
}

}  // namespace
}  // namespace vdrec::volumes
