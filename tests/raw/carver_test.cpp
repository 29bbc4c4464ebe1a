// What the carving engine finds, and how long it says each find is, on small in-memory disks.

#include <gtest/gtest.h>

#include <functional>

#include "raw/carve_area.h"
#include "support/carve_test_support.h"

namespace vdrec::raw {
namespace {

using test::Find;
using test::put;
using test::signature;

constexpr uint64_t MiB = 1u << 20;

struct RuleCase {
    const char* behaviour;
    uint64_t diskBytes;
    std::function<std::vector<SignatureRecord>()> signatures;
    std::function<void(std::vector<uint8_t>&)> plant;
    std::vector<Find> expected;
};

SignatureRecord approximate(SignatureRecord record, int64_t size, int64_t skip = 0) {
    record.approximateSize = size;
    record.skipSize = skip;
    return record;
}

SignatureRecord sizeField(SignatureRecord record, int32_t offset, int32_t width, int32_t header, bool includes,
                          int64_t approx) {
    record.sizeFieldOffset = offset;
    record.sizeFieldWidth = width;
    record.headerSize = header;
    record.sizeIncludesHeader = includes;
    record.approximateSize = approx;
    return record;
}

std::vector<uint8_t> le(uint64_t value, size_t width) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

const std::vector<uint8_t> kAbc = {0xAB, 0xCD, 0xEF};
const std::vector<uint8_t> kTst = {0x11, 0x22, 0x33};
const std::vector<uint8_t> kEnd = {0xEE, 0xFF};

const RuleCase kRuleCases[] = {
    {"a start at a sector's first byte is found, the same bytes inside a sector are not", MiB,
     [] { return std::vector{approximate(signature("abc", kAbc), 1000)}; },
     [](auto& disk) {
         put(disk, 4096, kAbc);
         put(disk, 8192 + 100, kAbc);
     },
     {{"4096 .abc", 1000}}},
    {"a file ends with the last byte of its end signature, found at any byte", MiB,
     [] { return std::vector{approximate(signature("tst", kTst, kEnd), 100000)}; },
     [](auto& disk) {
         put(disk, 1024, kTst);
         put(disk, 1024 + 700, kEnd);
         put(disk, 65536, kTst);
         put(disk, 65536 + 10, kEnd);
     },
     {{"1024 .tst", 702}, {"65536 .tst", 12}}},
    {"an end signature straddling the search's blocks is found", 2 * MiB,
     [] { return std::vector{signature("tst", kTst, kEnd)}; },
     [](auto& disk) {
         put(disk, 0, kTst);
         put(disk, 3 + 256 * 1024 - 1, kEnd);
     },
     {{"0 .tst", 3 + 256 * 1024 + 1}}},
    {"a start with no end is sized up to the next start of its kind, the last by the approximate size", 2 * MiB,
     [] { return std::vector{approximate(signature("tst", kTst, kEnd), 100000)}; },
     [](auto& disk) {
         put(disk, 1000448, kTst);
         put(disk, 1048576, kTst);
     },
     {{"1000448 .tst", 48128}, {"1048576 .tst", 100000}}},
    {"an end past the next start of the same kind does not end the first", MiB,
     [] { return std::vector{approximate(signature("tst", kTst, kEnd), 100000)}; },
     [](auto& disk) {
         put(disk, 0, kTst);
         put(disk, 2048, kTst);
         put(disk, 3000, kEnd);
     },
     {{"0 .tst", 2048}, {"2048 .tst", 954}}},
    {"0x2A in a pattern matches any byte", MiB,
     [] { return std::vector{approximate(signature("wld", {0x11, 0x2A, 0x33}), 600)}; },
     [](auto& disk) {
         put(disk, 512, {0x11, 0x99, 0x33});
         put(disk, 2048, {0x11, 0x2A, 0x33});
         put(disk, 4096, {0x12, 0x99, 0x33});
     },
     {{"512 .wld", 600}, {"2048 .wld", 600}}},
    {"a wildcard first byte still lets other signatures match first by order", MiB,
     [] {
         return std::vector{approximate(signature("one", {0x2A, 0x22, 0x33}), 100),
                            approximate(signature("two", {0x11, 0x22, 0x33}), 200)};
     },
     [](auto& disk) { put(disk, 512, kTst); },
     {{"512 .one", 100}}},
    {"size fields of 2, 4 and 8 bytes give the length, plus the header when it is left out", MiB,
     [] {
         return std::vector{sizeField(signature("s2", {'S', '2'}), 8, 2, 16, false, 0),
                            sizeField(signature("s4", {'S', '4'}), 8, 4, 16, true, 0),
                            sizeField(signature("s8", {'S', '8'}), 8, 8, 0, false, 0)};
     },
     [](auto& disk) {
         put(disk, 0, {'S', '2'});
         put(disk, 8, le(1000, 2));
         put(disk, 4096, {'S', '4'});
         put(disk, 4096 + 8, le(3000, 4));
         put(disk, 16384, {'S', '8'});
         put(disk, 16384 + 8, le(70000, 8));
     },
     {{"0 .s2", 1016}, {"4096 .s4", 3000}, {"16384 .s8", 70000}}},
    {"a sized file is passed over whole; the scan goes on at the sector after it", MiB,
     [] { return std::vector{sizeField(signature("siz", {'S', 'Z'}), 4, 4, 0, true, 5000000)}; },
     [](auto& disk) {
         put(disk, 0, {'S', 'Z'});
         put(disk, 4, le(300000, 4));
         put(disk, 512, {'S', 'Z'});  // inside the first file
         put(disk, 512 + 4, le(100, 4));
         put(disk, 300032, {'S', 'Z'});
         put(disk, 300032 + 4, le(100, 4));
     },
     {{"0 .siz", 300000}, {"300032 .siz", 100}}},
    {"a sized file spanning several chunks is passed over and the scan resumes right after it", 16 * MiB,
     [] { return std::vector{sizeField(signature("siz", {'S', 'Z'}), 4, 4, 0, true, 0)}; },
     [](auto& disk) {
         put(disk, 0, {'S', 'Z'});
         put(disk, 4, le(9 * MiB + 100, 4));
         put(disk, 5 * MiB, {'S', 'Z'});  // inside the first file
         put(disk, 5 * MiB + 4, le(100, 4));
         put(disk, 9 * MiB + 512, {'S', 'Z'});
         put(disk, 9 * MiB + 512 + 4, le(100, 4));
     },
     {{"0 .siz", 9 * MiB + 100}, {"9437696 .siz", 100}}},
    {"a size of 0, or above the approximate size, is no file", MiB,
     [] { return std::vector{sizeField(signature("siz", {'S', 'Z'}), 4, 4, 0, true, 1000)}; },
     [](auto& disk) {
         put(disk, 0, {'S', 'Z'});
         put(disk, 512, {'S', 'Z'});
         put(disk, 512 + 4, le(1001, 4));
         put(disk, 1024, {'S', 'Z'});
         put(disk, 1024 + 4, le(1000, 4));
     },
     {{"1024 .siz", 1000}}},
    {"a skip step is whole sectors: 1000 bytes step one sector", MiB,
     [] { return std::vector{approximate(signature("skp", kAbc), 100, 1000)}; },
     [](auto& disk) {
         put(disk, 0, kAbc);
         put(disk, 512, kAbc);
     },
     {{"0 .skp", 100}, {"512 .skp", 100}}},
    {"a skip step of 1536 bytes passes two sectors and keeps to sector starts", MiB,
     [] { return std::vector{approximate(signature("skp", kAbc), 100, 1536)}; },
     [](auto& disk) {
         put(disk, 0, kAbc);
         put(disk, 512, kAbc);
         put(disk, 1536, kAbc);
         put(disk, 3584, kAbc);
     },
     {{"0 .skp", 100}, {"1536 .skp", 100}, {"3584 .skp", 100}}},
    {"a skip of 2,097,152 bytes passes 2 MiB", 3 * MiB,
     [] { return std::vector{approximate(signature("mp3", {'I', 'D', '3'}), 100, 2097152)}; },
     [](auto& disk) {
         put(disk, 0, {'I', 'D', '3'});
         put(disk, MiB, {'I', 'D', '3'});
         put(disk, 2 * MiB, {'I', 'D', '3'});
     },
     {{"0 .mp3", 100}, {"2097152 .mp3", 100}}},
    {"the last sector of every chunk is tested", 9 * MiB,
     [] { return std::vector{approximate(signature("abc", kAbc), 100)}; },
     [](auto& disk) {
         for (uint64_t end : {MiB, 4 * MiB, 8 * MiB, 9 * MiB}) put(disk, end - 512, kAbc);
     },
     {{"1048064 .abc", 100}, {"4193792 .abc", 100}, {"8388096 .abc", 100}, {"9436672 .abc", 100}}},
    {"a start offset finds the signature inside the first sector", MiB,
     [] {
         auto tar = approximate(signature("tar", {'u', 's', 't', 'a', 'r'}), 10240);
         tar.startOffset = 257;
         return std::vector{tar};
     },
     [](auto& disk) {
         put(disk, 2048 + 257, {'u', 's', 't', 'a', 'r'});
         put(disk, 8192, {'u', 's', 't', 'a', 'r'});
     },
     {{"2048 .tar", 10240}}},
    {"a guessed length stops at the area's end", MiB,
     [] { return std::vector{approximate(signature("abc", kAbc), 5000)}; },
     [](auto& disk) { put(disk, MiB - 1024, kAbc); },
     {{"1047552 .abc", 1024}}},
    {"a guessed length ends where the next find of any kind starts", MiB,
     [] {
         return std::vector{approximate(signature("abc", kAbc), 500000),
                            sizeField(signature("siz", {'S', 'Z'}), 4, 4, 0, true, 0)};
     },
     [](auto& disk) {
         put(disk, 0, kAbc);
         put(disk, 40960, {'S', 'Z'});
         put(disk, 40960 + 4, le(1000, 4));
     },
     {{"0 .abc", 40960}, {"40960 .siz", 1000}}},
    {"no end, no size field and no approximate size is no file", MiB,
     [] { return std::vector{signature("abc", kAbc)}; },
     [](auto& disk) { put(disk, 0, kAbc); },
     {}},
    {"one-byte starts never match", MiB,
     [] { return std::vector{approximate(signature("one", {0x11}), 100)}; },
     [](auto& disk) { put(disk, 0, kTst); },
     {}},
};

TEST(CarverRules, FindsAndSizesFilesByTheirSignatures) {
    for (const RuleCase& c : kRuleCases) {
        std::vector<uint8_t> disk(c.diskBytes, 0);
        c.plant(disk);
        test::CarvedDisk carved(std::move(disk));
        EXPECT_EQ(carved.carve(c.signatures(), 0, c.diskBytes), c.expected) << c.behaviour;
    }
}

TEST(CarverRules, RecordFieldsOutsideTheirBoundsAreClamped) {
    std::vector<uint8_t> disk(MiB, 0);
    const std::vector<uint8_t> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // A start pattern of "200" bytes is its ten bytes.
    auto longStart = approximate(signature("lng", ten), 100);
    longStart.startLength = 200;
    // A start offset past the sector keeps the pattern inside it.
    auto farOffset = approximate(signature("far", {0x77, 0x78}), 200);
    farOffset.startOffset = 600;
    // A size field reaching past the sector is no size field: the approximate size sizes the find.
    auto farField = sizeField(signature("fld", {0x55, 0x56}), 510, 4, 0, true, 300);
    // An end length past its array is the array.
    auto longEnd = approximate(signature("end", {0x66, 0x67}, ten), 5000);
    longEnd.endLength = 250;
    put(disk, 0, ten);
    put(disk, 1024 + 510, {0x77, 0x78});
    put(disk, 4096, {0x55, 0x56});
    put(disk, 8192, {0x66, 0x67});
    put(disk, 8192 + 290, ten);
    test::CarvedDisk carved(std::move(disk));
    EXPECT_EQ(carved.carve({longStart, farOffset, farField, longEnd}, 0, MiB),
              (std::vector<Find>{{"0 .lng", 100}, {"1024 .far", 200}, {"4096 .fld", 300}, {"8192 .end", 300}}));
}

// Distinct two-byte starts with no wildcard among them.
std::vector<uint8_t> startOf(int i) {
    return {static_cast<uint8_t>(0x40 + i % 32), static_cast<uint8_t>(0x60 + i / 32), 0x5A};
}

TEST(CarverRules, MoreThan256SignaturesKeepTheirOwnTypes) {
    std::vector<SignatureRecord> records;
    for (int i = 0; i < 300; ++i)
        records.push_back(approximate(signature("e" + std::to_string(i), startOf(i)), 100 + i));
    for (auto& record : records) record.category = "Type " + record.extension;
    std::vector<uint8_t> disk(MiB, 0);
    put(disk, 8192, startOf(299));
    put(disk, 16384, startOf(43));
    test::CarvedDisk carved(std::move(disk));
    EXPECT_EQ(carved.carve(records, 0, MiB), (std::vector<Find>{{"8192 .e299", 399}, {"16384 .e43", 143}}));
    EXPECT_EQ(categoryText(carved.carver().categories()[carved.carver().categoryOf(299)]), "Type e299 (1)");
}

TEST(CarverRules, CategorySharedBySignaturesCountsAllTheirFinds) {
    std::vector<uint8_t> disk(MiB, 0);
    put(disk, 0, kAbc);
    put(disk, 4096, kTst);
    put(disk, 8192, kAbc);
    put(disk, 12288, {0x44, 0x45});
    test::CarvedDisk carved(std::move(disk));
    carved.carve({approximate(signature("abc", kAbc, {}, "Images"), 10),
                  approximate(signature("doc", {0x44, 0x45}, {}, "Documents"), 10),
                  approximate(signature("tst", kTst, {}, "Images"), 10)},
                 0, MiB);
    const auto& categories = carved.carver().categories();
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_EQ(categoryText(categories[0]), "Images (3)");
    EXPECT_EQ(categoryText(categories[1]), "Documents (1)");
}

TEST(CarverRules, AreaStartsAtTheSelectedVolume) {
    std::vector<uint8_t> disk(2 * MiB, 0);
    put(disk, 2048 * 512 + 1024, kAbc);
    put(disk, 1024, kAbc);  // before the volume
    test::CarvedDisk carved(std::move(disk));
    EXPECT_EQ(carved.carve({approximate(signature("abc", kAbc), 100)}, 2048, MiB),
              (std::vector<Find>{{"1024 .abc", 100}}));
    // A second run finds the same, at the area's own offsets.
    carved.carver().run(carved.sink());
    ASSERT_EQ(carved.carver().foundFiles().size(), 1u);
    EXPECT_EQ(carved.carver().foundFiles()[0].start, 1024u);
}

TEST(CarveArea, VolumeSizeIsCutAtTheDisksEnd) {
    struct Case {
        int64_t start;
        uint64_t megabytes;
        uint64_t totalSectors;
        uint64_t bytes;
    };
    const Case cases[] = {
        {2048, 3, 20480, 3 * MiB},
        {2048, 100, 20480, (20480 - 2048) * 512ull},
        {2048, UINT64_MAX, 20480, (20480 - 2048) * 512ull},
        {30000, 3, 20480, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(carveAreaBytes(c.start, c.megabytes, c.totalSectors), c.bytes) << c.start;
    EXPECT_EQ(carveAreaBytesOfSectors(0, 0, 4097), 4097u * 512);
    EXPECT_EQ(carveAreaBytesOfSectors(10, 19, 4097), 10u * 512);
    EXPECT_EQ(carveAreaBytesOfSectors(10, 9999, 4097), 4087u * 512);
    EXPECT_EQ(carveAreaBytesOfSectors(10, 5, 4097), 0u);
}

TEST(CarverNames, FoundFileNameIsPositionSpaceDotExtension) {
    EXPECT_EQ(foundFileName(1048576, "jpg"), "1048576 .jpg");
    EXPECT_EQ(categoryText({"Images", 3}), "Images (3)");
}

}  // namespace
}  // namespace vdrec::raw
