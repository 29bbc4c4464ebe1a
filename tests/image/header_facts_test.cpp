#include "image/header_facts.h"

#include <gtest/gtest.h>

#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::image {
namespace {

TEST(HeaderFacts, ShowsWhatEachHeaderHolds) {
    struct Case {
        const char* file;
        ImageKind kind;
        const char* version;
        const char* sectorsPerTrack;
        const char* heads;
        const char* cylinders;
        uint64_t megabytes;
    } cases[] = {
        {"pattern-dynamic.vhd", ImageKind::DynamicVhd, "65536", "255", "16", "65535", 64},
        {"pattern.vdi", ImageKind::Vdi, "65537", "0", "0", "0", 64},
        {"pattern.vmdk", ImageKind::Vmdk, "1", "63", "16", "130", 64},
        {"pattern.raw", ImageKind::Raw, "", "N/A", "N/A", "N/A", 64},
    };
    for (const auto& c : cases) {
        platform::RecordingSink sink;
        const auto facts = readHeaderFacts(test::fixture(c.file), c.kind, sink);
        ASSERT_TRUE(facts) << c.file;
        EXPECT_EQ(facts->fileFormatVersion, c.version) << c.file;
        EXPECT_EQ(facts->sectorsPerTrack, c.sectorsPerTrack) << c.file;
        EXPECT_EQ(facts->heads, c.heads) << c.file;
        EXPECT_EQ(facts->cylinders, c.cylinders) << c.file;
        EXPECT_EQ(facts->diskSizeMegabytes, c.megabytes) << c.file;
        EXPECT_EQ(facts->maximumTableEntries.has_value(), c.kind == ImageKind::DynamicVhd) << c.file;
    }
}

TEST(HeaderFacts, DynamicVhdShowsTheTableLength) {
    platform::RecordingSink sink;
    const auto facts = readHeaderFacts(test::fixture("pattern-dynamic.vhd"), ImageKind::DynamicVhd, sink);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->maximumTableEntries, 32u);
}

TEST(HeaderFacts, RefusesFilesOfTheWrongKind) {
    struct Case {
        const char* file;
        ImageKind kind;
        const char* message;
    } cases[] = {
        {"pattern.raw", ImageKind::Vmdk, "Please select valid vmdk file to continue the recovery process."},
    };
    for (const auto& c : cases) {
        platform::RecordingSink sink;
        EXPECT_FALSE(readHeaderFacts(test::fixture(c.file), c.kind, sink));
        EXPECT_EQ(sink.messages(), std::vector<std::string>{c.message});
    }
}

}  // namespace
}  // namespace vdrec::image
