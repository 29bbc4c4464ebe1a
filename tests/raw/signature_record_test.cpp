// The signature editor's "Save" and the 177-byte record it appends, as a later load reads it back.

#include <gtest/gtest.h>

#include "platform/recording_sink.h"
#include "raw/signature_file.h"
#include "raw/signature_form.h"
#include "support/test_support.h"

namespace vdrec::raw {
namespace {

SignatureForm formOf(std::string extension, std::string start) {
    SignatureForm form;
    form.extension = std::move(extension);
    form.startSignature = std::move(start);
    return form;
}

// Saves `form` into a fresh file and reads the one record back as the raw page would.
SignatureRecord savedAndRead(const SignatureForm& form, std::vector<uint8_t>* bytes = nullptr) {
    test::TempDir dir;
    const std::string path = dir.file("mine.txt");
    platform::RecordingSink sink;
    EXPECT_TRUE(createSignatureFile(path));
    EXPECT_TRUE(appendSignature(path, form, sink));
    EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(kSignatureSaved)});
    if (bytes) *bytes = test::readFile(path);
    const auto records = readSignatureFile(path, SignatureFileRole::User, sink);
    EXPECT_TRUE(records && records->size() == 1);
    return records && !records->empty() ? records->front() : SignatureRecord{};
}

TEST(SignatureForm, ReadsHexListsWithOrWithoutPrefix) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"0x89,0x50,0x4E,0x47", {0x89, 0x50, 0x4E, 0x47}},
        {"FF,D8,FF", {0xFF, 0xD8, 0xFF}},
        {" 0X2a , ff ", {0x2A, 0xFF}},
        {"1FF", {0xFF}},  // the low byte, as the editor always kept it
    };
    for (const Case& c : cases) {
        const auto record = savedAndRead(formOf("bin", c.text));
        ASSERT_EQ(record.startLength, c.bytes.size()) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(record.startSignature.begin(), record.startSignature.begin() + record.startLength),
                  c.bytes)
            << c.text;
        EXPECT_EQ(record.startSignature[c.bytes.size()], 0) << "bytes past the length stay zero";
    }
}

TEST(SignatureForm, StoresEveryFieldInItsPlace) {
    SignatureForm form = formOf("png", "0x89,0x50,0x4E,0x47");
    form.endSignature = "0x49,0x45,0x4E,0x44,0xAE,0x42,0x60,0x82";
    form.startOffset = "4";
    form.sizeFieldOffset = "8";
    form.sizeFieldWidth = "4";
    form.headerSize = "16";
    form.sizeIncludesHeader = true;
    form.skipSize = "2097152";
    form.approximateSize = "5000000";
    form.category = "Images";
    std::vector<uint8_t> bytes;
    const auto record = savedAndRead(form, &bytes);
    ASSERT_EQ(bytes.size(), kSignatureRecordSize);
    EXPECT_EQ(bytes[0], 'p');
    EXPECT_EQ(bytes[2], 'n');
    EXPECT_EQ(bytes[10], 4);   // start offset
    EXPECT_EQ(bytes[12], 3);   // extension length
    EXPECT_EQ(bytes[13], 0x89);
    EXPECT_EQ(bytes[23], 0x49);
    EXPECT_EQ(bytes[33], 4);
    EXPECT_EQ(bytes[34], 8);
    EXPECT_EQ(bytes[36], 8);   // size field offset
    EXPECT_EQ(bytes[40], 4);
    EXPECT_EQ(bytes[44], 16);
    EXPECT_EQ(bytes[48], 1);
    EXPECT_EQ(bytes[53] | bytes[54] << 8 | bytes[55] << 16, 5000000);
    EXPECT_EQ(bytes[61] | bytes[62] << 8 | bytes[63] << 16, 2097152);
    EXPECT_EQ(bytes[69], 'I');
    EXPECT_EQ(record.extension, "png");
    EXPECT_EQ(record.endLength, 8);
    EXPECT_EQ(record.sizeFieldOffset, 8);
    EXPECT_EQ(record.sizeFieldWidth, 4);
    EXPECT_EQ(record.headerSize, 16);
    EXPECT_TRUE(record.sizeIncludesHeader);
    EXPECT_EQ(record.approximateSize, 5000000);
    EXPECT_EQ(record.skipSize, 2097152);
    EXPECT_EQ(record.category, "Images");
}

TEST(SignatureForm, ExtensionsKeepTheirFirstFourUnitsInTheExtensionField) {
    struct Case {
        const char* typed;
        const char* field;  // what the first eight bytes say
        const char* read;   // what a load gives
        uint8_t length;
    };
    const Case cases[] = {
        {"jpeg", "jpeg", "jpeg", 4},
        {"mpeg4", "mpeg", "mpeg4", 5},  // the fifth unit lives in the record's reserved tail
        {"sqlite", "sqli", "sqlite", 6},
        {"mp3", "mp3", "mp3", 3},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        const auto record = savedAndRead(formOf(c.typed, "FF,D8"), &bytes);
        std::string field;
        for (size_t i = 0; i < 8 && bytes[i] != 0; i += 2) field.push_back(static_cast<char>(bytes[i]));
        EXPECT_EQ(field, c.field) << c.typed;
        EXPECT_EQ(record.extension, c.read) << c.typed;
        EXPECT_EQ(record.extensionLength, c.length) << c.typed;
    }
}

TEST(SignatureForm, EmptyOrZeroSizeOffsetStoresNoSizeField) {
    for (const char* typed : {"", "0", "abc"}) {
        SignatureForm form = formOf("bin", "FF,D8");
        form.sizeFieldOffset = typed;
        EXPECT_EQ(savedAndRead(form).sizeFieldOffset, -1) << '"' << typed << '"';
    }
}

TEST(SignatureForm, CategoryLongerThanFiftyIsCut) {
    SignatureForm form = formOf("bin", "FF,D8");
    form.category = std::string(60, 'c');
    EXPECT_EQ(savedAndRead(form).category, std::string(50, 'c'));
    form.category = std::string(49, 'c') + "\xC3\xA9\xC3\xA9";  // two-byte characters count one unit each
    EXPECT_EQ(savedAndRead(form).category, std::string(49, 'c') + "\xC3\xA9");
}

TEST(SignatureForm, RefusedFormsSayWhyAndWriteNothing) {
    struct Case {
        SignatureForm form;
        std::string_view message;
    };
    SignatureForm tooLong = formOf("bin", "1,2,3,4,5,6,7,8,9,10,11");
    SignatureForm notHex = formOf("bin", "FF,D8,GG");
    const Case cases[] = {
        {formOf("", "FF,D8"), kExtensionEmpty},
        {formOf("  ", "FF,D8"), kExtensionEmpty},
        {formOf("bin", ""), kSignatureEmpty},
        {tooLong, kSignatureTooLong},
        {notHex, kSignatureNotHex},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("mine.txt");
        ASSERT_TRUE(createSignatureFile(path));
        platform::RecordingSink sink;
        EXPECT_FALSE(appendSignature(path, c.form, sink));
        EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(c.message)});
        EXPECT_TRUE(test::readFile(path).empty());
    }
}

TEST(SignatureForm, SavingWithoutAFileAsksForOne) {
    test::TempDir dir;
    for (const std::string& path : {std::string(), dir.file("missing.txt"), dir.path()}) {
        platform::RecordingSink sink;
        EXPECT_FALSE(appendSignature(path, formOf("bin", "FF,D8"), sink));
        EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(kSelectFileToSave)});
    }
}

TEST(SignatureForm, ChoosingAnExistingFileEmptiesItAndEachSaveAppendsTheNextIndex) {
    test::TempDir dir;
    const std::string path = dir.file("mine.txt");
    test::writeFile(path, std::vector<uint8_t>(3 * kSignatureRecordSize, 0x55));
    ASSERT_TRUE(createSignatureFile(path));
    platform::RecordingSink sink;
    ASSERT_TRUE(appendSignature(path, formOf("one", "FF,D8"), sink));
    auto bytes = test::readFile(path);
    ASSERT_EQ(bytes.size(), kSignatureRecordSize);
    EXPECT_EQ(bytes[35], 0);
    ASSERT_TRUE(appendSignature(path, formOf("two", "FF,D8"), sink));
    bytes = test::readFile(path);
    ASSERT_EQ(bytes.size(), 2 * kSignatureRecordSize);
    EXPECT_EQ(bytes[kSignatureRecordSize + 35], 1);
}

}  // namespace
}  // namespace vdrec::raw
