#include <gtest/gtest.h>

#include "fs/ntfs/mft_record.h"
#include "fs/ntfs/record_builder.h"
#include "platform/text_format.h"
#include "support/test_support.h"

namespace vdrec::fs::ntfs {
namespace {

using test::RecordBuilder;

struct Decoded {
    DecodedMftRecord decoded;
    std::string name;
};

std::unique_ptr<Decoded> decode(const std::vector<uint8_t>& bytes) {
    auto out = std::make_unique<Decoded>();
    decodeRecordForFuzzing(platform::asBytes(bytes.data(), bytes.size()), out->decoded);
    const auto& name = out->decoded.summary.name;
    out->name = platform::utf16leToUtf8(reinterpret_cast<const uint8_t*>(name.data()), name.size() / 2);
    return out;
}

constexpr uint8_t kPosix = 0, kWin32 = 1, kDos = 2;

TEST(MftRecord, TakesTheLongNameOverTheDosAliasWhateverTheOrder) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::u16string, uint8_t>> names;
        std::string expected;
    } cases[] = {
        {"DOS alias first", {{u"LONGFI~1.TXT", kDos}, {u"long file name.txt", kWin32}}, "long file name.txt"},
        {"DOS alias last", {{u"long file name.txt", kWin32}, {u"LONGFI~1.TXT", kDos}}, "long file name.txt"},
        {"POSIX name and alias", {{u"LONGFI~1.TXT", kDos}, {u"Long:Posix", kPosix}}, "Long:Posix"},
        {"only a DOS name", {{u"SHORT.TXT", kDos}}, "SHORT.TXT"},
    };
    for (const auto& c : cases) {
        RecordBuilder builder;
        uint64_t parent = 40;
        for (const auto& [name, space] : c.names) builder.fileName(parent++, name, space);
        const auto result = decode(builder.bytes());
        EXPECT_EQ(result->name, c.expected) << c.what;
        // The parent always comes from the first file-name attribute.
        EXPECT_EQ(result->decoded.summary.parentIndex, 40) << c.what;
    }
}

TEST(MftRecord, TakesNamesOfEveryLengthUpTo255) {
    for (size_t length : {1u, 254u, 255u}) {
        const std::u16string name(length, u'n');
        const auto result = decode(RecordBuilder().fileName(5, name, kWin32).bytes());
        EXPECT_EQ(result->name, std::string(length, 'n')) << length;
    }
}

TEST(MftRecord, UndoesTheUpdateSequenceAtBothSectorEnds) {
    std::vector<uint8_t> content(800);  // crosses the first sector end
    for (size_t k = 0; k < content.size(); ++k) content[k] = uint8_t(k * 13 + 1);
    const auto bytes = RecordBuilder().fileName(5, u"a", kWin32).residentData(content).bytes();
    const auto result = decode(bytes);
    const MftRecord& record = result->decoded.record;
    ASSERT_GE(record.attributeCount, 2u);
    const auto data = record.content(record.attributes[1]);
    ASSERT_EQ(data.size(), content.size());
    EXPECT_TRUE(std::equal(content.begin(), content.end(), reinterpret_cast<const uint8_t*>(data.data())));
}

TEST(MftRecord, BoundsEveryFieldByTheRecordAndItsAttribute) {
    const auto sound = RecordBuilder().fileName(5, u"name.txt", kWin32).residentData({1, 2, 3}).bytes();
    constexpr size_t kAttr = 56;  // the file-name attribute
    struct Case {
        const char* what;
        size_t at;
        std::vector<uint8_t> patch;
        std::string expectedName;
        size_t expectedAttributes;
    } cases[] = {
        {"attribute length past the record", kAttr + 4, {0xF0, 0xFF, 0, 0}, "", 0},
        {"attribute length 0", kAttr + 4, {0, 0, 0, 0}, "", 0},
        {"first attribute offset at the record end", 20, {0xFC, 0x03}, "", 0},
        {"name length beyond the attribute", kAttr + 24 + 64, {200}, "name.txt", 2},
        {"content offset beyond the attribute", kAttr + 20, {0xF0, 0x00}, "", 2},
        {"content length beyond the attribute", kAttr + 16, {0xFF, 0xFF, 0, 0}, "name.txt", 2},
        {"update sequence array at the record end", 4, {0xFE, 0x03, 0x40, 0x00}, "name.txt", 2},
    };
    for (const auto& c : cases) {
        auto bytes = sound;
        std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + c.at);
        const auto result = decode(bytes);
        EXPECT_EQ(result->name, c.expectedName) << c.what;
        EXPECT_EQ(result->decoded.record.attributeCount, c.expectedAttributes) << c.what;
        for (const auto& attribute : result->decoded.record) {
            EXPECT_LE(attribute.offset + attribute.length, kMftRecordSize) << c.what;
            EXPECT_LE(attribute.contentOffset + attribute.contentLength, attribute.offset + attribute.length) << c.what;
        }
    }
    // A record shorter than 1024 bytes reads as if zero-filled.
    const auto cut = decode(std::vector<uint8_t>(sound.begin(), sound.begin() + 100));
    EXPECT_EQ(cut->name, "");
}

TEST(MftRecord, AttributeListWalkStopsAtItsEndAndAtAZeroLength) {
    auto entry = [](uint32_t type, uint16_t length, uint64_t record) {
        std::vector<uint8_t> e(32);
        for (int k = 0; k < 4; ++k) e[k] = uint8_t(type >> (8 * k));
        e[4] = uint8_t(length);
        e[5] = uint8_t(length >> 8);
        for (int k = 0; k < 6; ++k) e[16 + k] = uint8_t(record >> (8 * k));
        return e;
    };
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> entries;
        size_t cut;  // bytes dropped from the end
        size_t expected;
    } cases[] = {
        {"whole list", {entry(0x10, 32, 5), entry(0x80, 32, 20), entry(0x80, 32, 21)}, 0, 3},
        {"zero entry length", {entry(0x10, 32, 5), entry(0x80, 0, 20), entry(0x80, 32, 21)}, 0, 1},
        {"length past the list", {entry(0x10, 32, 5), entry(0x80, 4000, 20)}, 0, 1},
        {"list cut inside an entry", {entry(0x10, 32, 5), entry(0x80, 32, 20)}, 10, 1},
        {"end type", {entry(0x10, 32, 5), entry(0xFFFFFFFF, 32, 0), entry(0x80, 32, 21)}, 0, 1},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> list;
        for (const auto& e : c.entries) list.insert(list.end(), e.begin(), e.end());
        list.resize(list.size() - c.cut);
        const auto entries = decodeAttributeList(platform::asBytes(list.data(), list.size()));
        EXPECT_EQ(entries.size(), c.expected) << c.what;
    }
}

TEST(MftRecord, DecodesARecordMkntfsWrote) {
    // mbr-ext.img: NTFS at sector 2048, MFT at cluster 4 of 4096 bytes; record 64 is p1.txt.
    const auto image = vdrec::test::readFile(vdrec::test::fixture("mbr-ext.img"));
    const size_t offset = 2048 * 512 + 4 * 4096 + 64 * 1024;
    ASSERT_GE(image.size(), offset + 1024);
    const auto result = decode(std::vector<uint8_t>(image.begin() + offset, image.begin() + offset + 1024));
    EXPECT_TRUE(result->decoded.record.header.isFile());
    EXPECT_EQ(result->name, "p1.txt");
    EXPECT_EQ(result->decoded.summary.parentIndex, 5);
    EXPECT_FALSE(result->decoded.summary.directory);
}

}  // namespace
}  // namespace vdrec::fs::ntfs
