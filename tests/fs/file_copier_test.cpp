// The copier on maps over a device in memory whose reads can fail: what is
// written where, what stays a hole, and what the copy reports.

#include "fs/file_copier.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::fs {
namespace {

// 1 MiB whose byte k is k % 251; reads touching [badFrom, badTo) fail there.
class TestDevice final : public image::BlockDevice {
public:
    uint64_t badFrom = UINT64_MAX, badTo = UINT64_MAX;

    uint64_t size() const override { return kBytes; }
    image::ReadResult read(uint64_t offset, void* buffer, size_t count) const override {
        auto* out = static_cast<uint8_t*>(buffer);
        std::memset(out, 0, count);
        for (size_t k = 0; k < count; ++k) {
            const uint64_t at = offset + k;
            if (at >= kBytes) return {k, image::ReadResult::Error::PastEnd, 0};
            if (at >= badFrom && at < badTo) return {k, image::ReadResult::Error::Failed, 5};
            out[k] = static_cast<uint8_t>(at % 251);
        }
        return {count, image::ReadResult::Error::None, 0};
    }

    static constexpr uint64_t kBytes = 1 << 20;
};

std::string deviceBytes(uint64_t offset, size_t count) {
    std::string out(count, '\0');
    for (size_t k = 0; k < count; ++k) out[k] = static_cast<char>((offset + k) % 251);
    return out;
}

std::string contents(const std::string& path) {
    const auto bytes = test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(FileCopier, WritesEveryKindOfPieceAtItsOffsetAndKeepsHolesSparse) {
    TestDevice device;
    FileMap map;
    map.size = 900000;
    map.addDevice(0, 5000, 70000);
    map.addHole(5000, 400000);
    map.addHeld(405000, "link text", 9);
    map.addProduced(405009, 991);
    map.produce = [](uint64_t offset, uint8_t* into, size_t length) {
        for (size_t k = 0; k < length; ++k) into[k] = static_cast<uint8_t>('a' + (offset + k) % 26);
        return true;
    };
    map.addDevice(406000, 1000, 3);
    map.modified = platform::UnixTime{1683356889, 0};
    platform::RecordingSink sink;
    test::TempDir out;
    const CopyResult result = copyFile(device, map, out.file("f"), sink);
    EXPECT_EQ(result.status, CopyStatus::Ok);
    EXPECT_EQ(result.bytesWritten, 900000u);
    std::string expected(900000, '\0');
    expected.replace(0, 5000, deviceBytes(70000, 5000));
    expected.replace(405000, 9, "link text");
    for (size_t k = 0; k < 991; ++k) expected[405009 + k] = static_cast<char>('a' + (405009 + k) % 26);
    expected.replace(406000, 1000, deviceBytes(3, 1000));
    EXPECT_TRUE(contents(out.file("f")) == expected);
    struct stat info {};
    ASSERT_EQ(::stat(out.file("f").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1683356889);
    EXPECT_LT(info.st_blocks * 512, 100000);  // the hole and the tail stay holes
    EXPECT_TRUE(sink.messages().empty());
    const auto read = readFileData(device, map, SIZE_MAX);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(std::string(read->begin(), read->end()) == expected);
    EXPECT_EQ(readFileData(device, map, 899999), std::nullopt);
}

TEST(FileCopier, UnreadableAndLostBytesStayZerosInPlaceAndTheCopyIsShort) {
    struct Case {
        const char* what;
        uint64_t badFrom, badTo;      // device bytes that fail
        uint64_t deviceAt;            // where the 64 KiB piece is read from
        bool lostPiece;               // a lost piece follows the data
        uint64_t zerosFrom, zerosTo;  // file bytes that must be zeros
    };
    const Case cases[] = {
        {"one bad block inside", 200000 + 8192, 200000 + 8192 + 100, 200000, false, 8192, 12288},
        {"piece running past the device", UINT64_MAX, UINT64_MAX, TestDevice::kBytes - 10000, false, 10000, 65536},
        {"lost piece", UINT64_MAX, UINT64_MAX, 200000, true, 65536, 70000},
    };
    for (const Case& c : cases) {
        TestDevice device;
        device.badFrom = c.badFrom;
        device.badTo = c.badTo;
        FileMap map;
        map.size = 70000;
        map.addDevice(0, 65536, c.deviceAt);
        if (c.lostPiece)
            map.addLost(65536, 4464);
        else
            map.addDevice(65536, 4464, 300000);
        platform::RecordingSink sink;
        test::TempDir out;
        EXPECT_EQ(copyFile(device, map, out.file("f"), sink).status, CopyStatus::Short) << c.what;
        const std::string saved = contents(out.file("f"));
        ASSERT_EQ(saved.size(), 70000u) << c.what;
        std::string expected =
            deviceBytes(c.deviceAt, 65536) + (c.lostPiece ? std::string(4464, '\0') : deviceBytes(300000, 4464));
        std::fill(expected.begin() + static_cast<ptrdiff_t>(c.zerosFrom),
                  expected.begin() + static_cast<ptrdiff_t>(c.zerosTo), '\0');
        EXPECT_TRUE(saved == expected) << c.what;
        EXPECT_EQ(readFileData(device, map, SIZE_MAX), std::nullopt) << c.what;
    }
}

TEST(FileCopier, ASizePastTheVolumeSavesWhatIsStoredAndSaysSo) {
    TestDevice device;
    FileMap map;
    map.size = uint64_t{1} << 62;
    map.addDevice(0, 3000, 500);
    map.addHole(3000, (uint64_t{1} << 62) - 3000);
    platform::RecordingSink sink;
    test::TempDir out;
    const CopyResult result = copyFile(device, map, out.file("big"), sink);
    EXPECT_EQ(result.status, CopyStatus::Short);
    EXPECT_EQ(result.bytesWritten, 3000u);
    EXPECT_TRUE(contents(out.file("big")) == deviceBytes(500, 3000));
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0], out.file("big") +
                                      ": the recorded size of 4611686018427387904 "
                                      "bytes is more than the volume holds; 3000 "
                                      "bytes were saved.");
    // An existing file is never replaced.
    EXPECT_EQ(copyFile(device, map, out.file("big"), sink).status, CopyStatus::Failed);
    EXPECT_TRUE(contents(out.file("big")) == deviceBytes(500, 3000));
}

}  // namespace
}  // namespace vdrec::fs
