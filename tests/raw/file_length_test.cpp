// Exact lengths of the files planted in carve.img (written by real tools; see tests/fixtures/make-carve.sh and
// carve.manifest.tsv), and what happens when a file is cut short by the area's end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "raw/file_length.h"
#include "support/test_support.h"

namespace vdrec::raw {
namespace {

struct Planted {
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string kind;
    std::string name;
    bool whole = true;
};

std::vector<Planted> manifest() {
    std::ifstream in(std::string(VDREC_FIXTURE_SOURCE_DIR) + "/carve.manifest.tsv");
    std::vector<Planted> rows;
    std::string line;
    std::getline(in, line);  // the column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Planted row;
        std::string sha256, state;
        fields >> row.offset >> row.length >> sha256 >> row.kind >> row.name >> state;
        row.whole = state == "whole";
        rows.push_back(row);
    }
    return rows;
}

const std::vector<uint8_t>& image() {
    static const std::vector<uint8_t> bytes = test::readFile(test::fixture("carve.img"));
    return bytes;
}

// Reads the image from `start` on and fails the test on any read at or past `limit`: measuring must never look
// beyond the area it was given.
struct ImageCandidate {
    uint64_t start;
    uint64_t limit;
    mutable uint64_t furthest = 0;

    size_t operator()(uint64_t offset, uint8_t* into, size_t size) const {
        EXPECT_LE(offset + size, limit) << "read past the limit";
        const std::vector<uint8_t>& bytes = image();
        if (start + offset >= bytes.size()) return 0;
        const size_t got = std::min<uint64_t>(size, bytes.size() - start - offset);
        std::memcpy(into, bytes.data() + start + offset, got);
        furthest = std::max(furthest, offset + got);
        return got;
    }
};

std::optional<uint64_t> measureAt(const std::string& kind, uint64_t start, uint64_t limit) {
    const ImageCandidate candidate{start, limit};
    return measureFileLength(kind, std::cref(candidate), limit);
}

std::optional<uint64_t> measurePlanted(const Planted& file) {
    return measureAt(file.kind, file.offset, image().size() - file.offset);
}

const Planted& plantedNamed(const std::string& suffix) {
    static const std::vector<Planted> rows = manifest();
    for (const Planted& row : rows)
        if (row.name.size() >= suffix.size() && row.name.ends_with(suffix)) return row;
    throw std::runtime_error("no planted " + suffix);
}

size_t count(const Planted& file, std::string_view pattern) {
    const auto* begin = reinterpret_cast<const char*>(image().data() + file.offset);
    const auto* end = begin + file.length;
    size_t found = 0;
    for (auto at = std::search(begin, end, pattern.begin(), pattern.end()); at != end;
         at = std::search(at + 1, end, pattern.begin(), pattern.end()))
        ++found;
    return found;
}

// What a whole file cut to `cut` bytes measures: nothing, except a PDF whose cut drops only the line end after
// its last marker, which is optional.
std::optional<uint64_t> cutLength(const Planted& file, uint64_t cut) {
    if (file.kind != "pdf") return std::nullopt;
    for (uint64_t at = cut; at < file.length; ++at) {
        const uint8_t byte = image()[file.offset + at];
        if (byte != '\r' && byte != '\n') return std::nullopt;
    }
    return cut;
}

void expectCutMeasure(const Planted& file, uint64_t cut) {
    const std::optional<uint64_t> length = measureAt(file.kind, file.offset, cut);
    // MP3 has no end of its own: cut, it is a shorter run of whole frames.
    if (file.kind == "mp3") {
        EXPECT_LE(length.value_or(0), cut) << "cut at " << cut;
    } else {
        EXPECT_EQ(length, cutLength(file, cut)) << "cut at " << cut;
    }
}

TEST(FileLength, MeasuresEveryWholePlantedFileExactly) {
    const std::vector<Planted> rows = manifest();
    ASSERT_GE(rows.size(), 20u);
    for (const Planted& file : rows) {
        if (!file.whole) continue;
        SCOPED_TRACE(file.name);
        EXPECT_EQ(measurePlanted(file), file.length);
    }
}

TEST(FileLength, MeasuresAFileThatEndsExactlyAtTheLimitAndRefusesOneCutByIt) {
    for (const Planted& file : manifest()) {
        if (!file.whole) continue;
        SCOPED_TRACE(file.name);
        EXPECT_EQ(measureAt(file.kind, file.offset, file.length), file.length);
        // MP3 has no end of its own: cut, it is a shorter run of whole frames.
        expectCutMeasure(file, file.length - 1);
    }
}

TEST(FileLength, RefusesEveryPrefixOfAWholeFileWithoutReadingPastIt) {
    for (const Planted& file : manifest()) {
        if (!file.whole) continue;
        SCOPED_TRACE(file.name);
        // Some cut in every 67 bytes, and the few right at the end where the end records lie.
        for (uint64_t cut = 1; cut < file.length; cut += cut + 8 >= file.length ? 1 : 67) {
            expectCutMeasure(file, cut);
        }
    }
}

TEST(FileLength, TruncatedPlantedFilesAreNeverTakenForWholeOnes) {
    for (const Planted& file : manifest()) {
        if (file.whole) continue;
        SCOPED_TRACE(file.name);
        EXPECT_EQ(measurePlanted(file), std::nullopt);
    }
}

TEST(FileLength, JpegEndsAfterItsExifThumbnailsEndOfImage) {
    const Planted& file = plantedNamed("-thumb.jpg");
    ASSERT_EQ(count(file, "\xFF\xD9"), 2u) << "the sample holds the thumbnail's EOI and its own";
    EXPECT_EQ(measurePlanted(file), file.length);
}

TEST(FileLength, ZipHoldingAStoredZipAndPngEndsAtTheOuterDirectory) {
    const Planted& file = plantedNamed("-nested.zip");
    ASSERT_EQ(count(file, "PK\x05\x06"), 2u) << "the sample holds the inner archive's end record and its own";
    ASSERT_EQ(count(file, "IEND"), 1u);
    EXPECT_EQ(measurePlanted(file), file.length);
}

TEST(FileLength, PdfWithUpdatesEndsAtItsLastEndMarker) {
    for (const char* name : {"-incremental.pdf", "-linearized.pdf"}) {
        const Planted& file = plantedNamed(name);
        SCOPED_TRACE(file.name);
        ASSERT_EQ(count(file, "%%EOF"), 2u);
        EXPECT_EQ(measurePlanted(file), file.length);
    }
}

TEST(FileLength, BackToBackFilesAreMeasuredApart) {
    // Planted in consecutive sectors: the progressive JPEG right after the thumbnail JPEG, the PNG after it.
    const Planted& first = plantedNamed("-thumb.jpg");
    const Planted& second = plantedNamed("-progressive.jpg");
    ASSERT_EQ(second.offset, (first.offset + first.length + 511) / 512 * 512);
    EXPECT_EQ(measurePlanted(first), first.length);
    EXPECT_EQ(measurePlanted(second), second.length);
}

TEST(FileLength, NothingIsMeasuredInTheGapsBetweenFiles) {
    const std::vector<Planted> rows = manifest();
    const std::vector<std::string> kinds = {"jpg", "png", "gif", "bmp", "pdf", "zip", "rar", "7z",
                                            "mp3", "mp4", "mov", "avi", "wav", "doc", "xls", "sqlite"};
    size_t tried = 0;
    for (uint64_t offset = 0; offset < image().size(); offset += 512) {
        // Inside a file a sector may well start something valid: an MP3 frame, a stored member of a ZIP.
        const bool planted = std::any_of(rows.begin(), rows.end(), [&](const Planted& r) {
            return offset >= r.offset && offset < r.offset + r.length;
        });
        if (planted) continue;
        for (const std::string& kind : kinds) {
            ++tried;
            EXPECT_EQ(measureAt(kind, offset, image().size() - offset), std::nullopt) << kind << " at " << offset;
        }
    }
    EXPECT_GT(tried, 20000u);  // the zero tail of the image included
}

TEST(FileLength, UnknownKindsAreNotMeasured) {
    const Planted& file = plantedNamed("-thumb.jpg");
    for (const char* kind : {"", "JPG", "jpeg", "txt", "exe"}) EXPECT_EQ(measureAt(kind, file.offset, file.length), std::nullopt) << kind;
    EXPECT_TRUE(hasFileLengthMeasure("docx"));
    EXPECT_FALSE(hasFileLengthMeasure("txt"));
}

}  // namespace
}  // namespace vdrec::raw
