// Loading signature files: how many records, which files are refused, and the default file.

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/recording_sink.h"
#include "raw/signature_file.h"
#include "support/test_support.h"

namespace vdrec::raw {
namespace {

SignatureRecord recordNamed(const std::string& extension, uint8_t index) {
    SignatureRecord record;
    record.extension = extension;
    record.extensionLength = static_cast<uint8_t>(extension.size());
    record.startSignature = {0xAB, 0xCD};
    record.startLength = 2;
    record.recordIndex = index;
    record.category = "Mine";
    return record;
}

std::vector<uint8_t> fileOf(const std::vector<SignatureRecord>& records) {
    std::vector<uint8_t> bytes;
    for (const auto& record : records) {
        const RecordBytes encoded = encodeSignatureRecord(record);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

TEST(SignatureFile, CountsRecordsByLengthNotByTheLastIndexByte) {
    test::TempDir dir;
    // Records appended out of turn all say index 0; 300 records wrap the one-byte index.
    std::vector<SignatureRecord> records;
    for (int i = 0; i < 300; ++i) records.push_back(recordNamed("e" + std::to_string(i), i < 3 ? 0 : static_cast<uint8_t>(i)));
    test::writeFile(dir.file("sig.txt"), fileOf(records));
    platform::RecordingSink sink;
    const auto read = readSignatureFile(dir.file("sig.txt"), SignatureFileRole::User, sink);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 300u);
    EXPECT_EQ((*read)[1].extension, "e1");
    EXPECT_EQ((*read)[299].extension, "e299");
    EXPECT_TRUE(sink.messages().empty());
}

TEST(SignatureFile, RefusesFilesThatAreNotWholeValidRecords) {
    const auto one = fileOf({recordNamed("a", 0)});
    auto wideFirst = fileOf({recordNamed("a", 0), recordNamed("b", 1)});
    wideFirst[40] = 9;  // the first record's size field width; the last one is fine
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto partial = one;
    partial.resize(one.size() + 5);
    const Case cases[] = {
        {"empty", {}},
        {"shorter than a record", std::vector<uint8_t>(one.begin(), one.end() - 1)},
        {"a record and a piece", partial},
        {"more than 1 MiB of records", std::vector<uint8_t>(kSignatureRecordSize * 5926, 0)},
        {"a size field wider than 8 bytes", wideFirst},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::writeFile(dir.file("sig.txt"), c.bytes);
        for (SignatureFileRole role : {SignatureFileRole::Default, SignatureFileRole::User}) {
            platform::RecordingSink sink;
            EXPECT_FALSE(readSignatureFile(dir.file("sig.txt"), role, sink)) << c.what;
            EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(kNotValidSignatureFile)}) << c.what;
        }
    }
}

TEST(SignatureFile, MissingFileMessageDependsOnWhichFile) {
    test::TempDir dir;
    platform::RecordingSink user, fallback;
    EXPECT_FALSE(readSignatureFile(dir.file("none.txt"), SignatureFileRole::User, user));
    EXPECT_EQ(user.messages(), std::vector<std::string>{std::string(kCannotOpenSignatureFile)});
    EXPECT_FALSE(readSignatureFile(dir.file("none.txt"), SignatureFileRole::Default, fallback));
    EXPECT_EQ(fallback.messages(), std::vector<std::string>{std::string(kNotValidSignatureFile)});
}

TEST(SignatureFile, DefaultFileIsNotLoadedTwiceWhenTheFieldNamesItToo) {
    test::TempDir dir;
    test::writeFile(dir.file("FileSetting.txt"), fileOf({recordNamed("jpg", 0), recordNamed("png", 1)}));
    test::writeFile(dir.file("mine.txt"), fileOf({recordNamed("abc", 0)}));
    platform::RecordingSink sink;
    // The field spells the same file another way.
    auto loaded = loadSignatureFiles(dir.file("FileSetting.txt"), dir.path() + "/./FileSetting.txt", sink);
    EXPECT_EQ(loaded.records.size(), 2u);
    loaded = loadSignatureFiles(dir.file("FileSetting.txt"), dir.file("mine.txt"), sink);
    ASSERT_EQ(loaded.records.size(), 3u);
    EXPECT_EQ(loaded.records[2].extension, "abc");
    loaded = loadSignatureFiles("", dir.file("mine.txt"), sink);
    EXPECT_EQ(loaded.records.size(), 1u);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(SignatureFile, InvalidDefaultFileIsReportedAndTheUserFileStillLoads) {
    test::TempDir dir;
    test::writeFile(dir.file("FileSetting.txt"), std::vector<uint8_t>(100, 1));
    test::writeFile(dir.file("mine.txt"), fileOf({recordNamed("abc", 0)}));
    platform::RecordingSink sink;
    const auto loaded = loadSignatureFiles(dir.file("FileSetting.txt"), dir.file("mine.txt"), sink);
    EXPECT_TRUE(loaded.defaultInvalid);
    EXPECT_FALSE(loaded.userFailed);
    EXPECT_EQ(loaded.records.size(), 1u);
    EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(kNotValidSignatureFile)});
}

TEST(SignatureFile, DefaultFileLiesBesideTheRunningProgram) {
    char own[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", own, sizeof own - 1), 0);
    std::string folder(own);
    folder.resize(folder.rfind('/'));
    EXPECT_EQ(defaultSignaturePath(), folder + "/FileSetting.txt");
}

}  // namespace
}  // namespace vdrec::raw
