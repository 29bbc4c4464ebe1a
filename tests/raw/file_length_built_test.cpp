// Lengths of files built here byte by byte: kinds no free tool writes (RAR), and fields that real writers
// never get wrong but a damaged or hostile image can (stale counters, loops, sizes past the limit).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "raw/file_length.h"
#include "support/test_support.h"

namespace vdrec::raw {
namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void appendLe(Bytes& out, uint64_t value, int width) {
    for (int k = 0; k < width; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}
void appendBe(Bytes& out, uint64_t value, int width) {
    for (int k = width - 1; k >= 0; --k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

std::optional<uint64_t> measure(std::string_view kind, const Bytes& bytes, uint64_t limit) {
    const CandidateRead read = [&](uint64_t offset, uint8_t* into, size_t size) -> size_t {
        EXPECT_LE(offset + size, limit) << "read past the limit";
        if (offset >= bytes.size()) return 0;
        const size_t got = std::min<uint64_t>(size, bytes.size() - offset);
        std::memcpy(into, bytes.data() + offset, got);
        return got;
    };
    return measureFileLength(kind, read, limit);
}
std::optional<uint64_t> measure(std::string_view kind, const Bytes& bytes) { return measure(kind, bytes, bytes.size()); }

// RAR 4: marker, archive header, one file block with `packed` data bytes, end-of-archive block.
Bytes rar4(uint32_t packed) {
    Bytes out;
    append(out, std::string_view("Rar!\x1a\x07\x00", 7));
    appendLe(out, 0, 2), out.push_back(0x73), appendLe(out, 0, 2), appendLe(out, 13, 2), appendLe(out, 0, 6);
    const std::string name = "notes.txt";
    appendLe(out, 0, 2), out.push_back(0x74), appendLe(out, 0x8000, 2), appendLe(out, 32 + name.size(), 2);
    appendLe(out, packed, 4), appendLe(out, packed, 4), out.push_back(2), appendLe(out, 0, 8);
    out.push_back(29), out.push_back(0x30), appendLe(out, name.size(), 2), appendLe(out, 0x20, 4), append(out, name);
    out.insert(out.end(), packed, 0x5A);
    appendLe(out, 0, 2), out.push_back(0x7B), appendLe(out, 0x4000, 2), appendLe(out, 7, 2);
    return out;
}

void appendVint(Bytes& out, uint64_t value) {
    do {
        out.push_back(static_cast<uint8_t>((value & 0x7F) | (value > 0x7F ? 0x80 : 0)));
        value >>= 7;
    } while (value != 0);
}

// RAR 5: marker, main header, one file header with `packed` data bytes, end-of-archive header.
Bytes rar5(uint64_t packed) {
    Bytes out;
    append(out, std::string_view("Rar!\x1a\x07\x01\x00", 8));
    const auto block = [&](const Bytes& header, uint64_t data) {
        appendLe(out, 0, 4);
        appendVint(out, header.size());
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), data, 0xA5);
    };
    block({1, 0, 0}, 0);
    Bytes file = {2, 2};
    appendVint(file, packed);
    file.insert(file.end(), {0, 0x80, 0x01, 0x20, 0, 5, 'a', '.', 'b', 'i', 'n'});
    block(file, packed);
    block({5, 0, 0}, 0);
    return out;
}

TEST(BuiltFileLength, RarArchivesEndWithTheirEndOfArchiveBlock) {
    for (uint64_t packed : {0u, 1u, 300u, 70000u}) {
        SCOPED_TRACE(packed);
        const Bytes four = rar4(static_cast<uint32_t>(packed));
        const Bytes five = rar5(packed);
        for (const Bytes* archive : {&four, &five}) {
            Bytes image = *archive;
            image.insert(image.end(), 1024, 0x00);  // free space after the archive
            EXPECT_EQ(measure("rar", image), archive->size());
            EXPECT_EQ(measure("rar", image, archive->size() - 1), std::nullopt);
        }
    }
}

TEST(BuiltFileLength, RarWithABlockOfUnknownTypeIsRefused) {
    Bytes archive = rar4(10);
    archive[7 + 2] = 0x99;  // the archive header's type
    EXPECT_EQ(measure("rar", archive), std::nullopt);
}

// A ZIP of one stored member of `dataLength` bytes, with a central directory, an end record and a comment.
Bytes storedZip(size_t dataLength) {
    Bytes out;
    const auto header = [&](std::string_view signature, bool central) {
        append(out, signature), appendLe(out, 20, 2);
        if (central) appendLe(out, 20, 2);
        appendLe(out, 0, 2), appendLe(out, 0, 2), appendLe(out, 0, 4), appendLe(out, 0x12345678, 4);
        appendLe(out, dataLength, 4), appendLe(out, dataLength, 4), appendLe(out, 1, 2), appendLe(out, 0, 2);
        if (central) appendLe(out, 0, 2), appendLe(out, 0, 2), appendLe(out, 0, 2), appendLe(out, 0, 4), appendLe(out, 0, 4);
        append(out, "a");
    };
    header("PK\x03\x04", false);
    out.insert(out.end(), dataLength, 0x61);
    const size_t directory = out.size();
    header("PK\x01\x02", true);
    const size_t directorySize = out.size() - directory;
    append(out, "PK\x05\x06"), appendLe(out, 0, 4), appendLe(out, 1, 2), appendLe(out, 1, 2);
    appendLe(out, directorySize, 4), appendLe(out, directory, 4), appendLe(out, 6, 2), append(out, "carved");
    return out;
}

TEST(BuiltFileLength, ZipIsMeasuredWhereverItsRecordsFallAgainstTheReadWindow) {
    // End records straddling, just inside and just past the 64 KiB pieces the measurer reads in.
    for (size_t dataLength = 65536 - 160; dataLength < 65536 + 40; ++dataLength) {
        Bytes archive = storedZip(dataLength);
        const size_t length = archive.size();
        archive.resize(length + 4096, 0x5A);
        EXPECT_EQ(measure("zip", archive), length) << dataLength;
    }
}

Bytes sqlite(uint16_t pageField, uint32_t pages, uint32_t changeCounter, uint32_t validFor) {
    Bytes out;
    append(out, std::string_view("SQLite format 3\0", 16));
    appendBe(out, pageField, 2);
    out.resize(24), appendBe(out, changeCounter, 4), appendBe(out, pages, 4);
    out.resize(92), appendBe(out, validFor, 4);
    out.resize(100);
    return out;
}

TEST(BuiltFileLength, SqliteIsPageSizeTimesACurrentPageCount) {
    const struct {
        uint16_t pageField;
        uint32_t pages, changeCounter, validFor;
        std::optional<uint64_t> length;
    } cases[] = {
        {4096, 3, 7, 7, 12288},
        {1, 2, 9, 9, 131072},                // 1 stands for 65536
        {4096, 3, 8, 7, std::nullopt},       // the count is stale: written by a library that did not keep it
        {4096, 0, 7, 7, std::nullopt},
        {3000, 3, 7, 7, std::nullopt},       // not a power of two
        {256, 3, 7, 7, std::nullopt},
        {4096, 0xFFFFFFFF, 1, 1, std::nullopt},  // more than the limit
    };
    for (const auto& c : cases) {
        Bytes database = sqlite(c.pageField, c.pages, c.changeCounter, c.validFor);
        database.resize(1 << 20);
        EXPECT_EQ(measure("sqlite", database), c.length) << c.pageField << " x " << c.pages;
    }
}

TEST(BuiltFileLength, SevenZipNeedsItsStartHeaderCrc) {
    Bytes archive;
    append(archive, "7z\xBC\xAF\x27\x1C");
    archive.push_back(0), archive.push_back(4);
    appendLe(archive, 0, 4);  // CRC, filled in below
    appendLe(archive, 100, 8), appendLe(archive, 20, 8), appendLe(archive, 0, 4);
    archive.resize(32 + 100), archive.push_back(0x01), archive.resize(32 + 120 + 500);
    // CRC-32 of bytes 12..31, computed here with the usual table-free loop.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t k = 12; k < 32; ++k) {
        crc ^= archive[k];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    test::putLe32(archive, 8, ~crc);
    EXPECT_EQ(measure("7z", archive), 152u);
    archive[20] ^= 1;  // the header size no longer matches its CRC
    EXPECT_EQ(measure("7z", archive), std::nullopt);
}

Bytes bmp(uint32_t fileSize, uint32_t pixelOffset, int32_t width, int32_t height, uint16_t bits) {
    Bytes out;
    append(out, "BM"), appendLe(out, fileSize, 4), appendLe(out, 0, 4), appendLe(out, pixelOffset, 4);
    appendLe(out, 40, 4), appendLe(out, static_cast<uint32_t>(width), 4), appendLe(out, static_cast<uint32_t>(height), 4);
    appendLe(out, 1, 2), appendLe(out, bits, 2), appendLe(out, 0, 4);
    out.resize(8192, 0x33);
    return out;
}

TEST(BuiltFileLength, BmpSizeIsTrustedOnlyWhenThePixelsFitInIt) {
    EXPECT_EQ(measure("bmp", bmp(54 + 4 * 3 * 4, 54, 3, 4, 24)), 102u);   // rows padded from 9 to 12 bytes
    EXPECT_EQ(measure("bmp", bmp(54 + 4 * 3 * 4, 54, 3, -4, 24)), 102u);  // top-down rows
    EXPECT_EQ(measure("bmp", bmp(60, 54, 3, 4, 24)), std::nullopt);        // pixels do not fit
    EXPECT_EQ(measure("bmp", bmp(102, 20, 3, 4, 24)), std::nullopt);       // pixels inside the headers
    EXPECT_EQ(measure("bmp", bmp(9000, 54, 3, 4, 24)), std::nullopt);      // past the limit
    EXPECT_EQ(measure("bmp", bmp(102, 54, 3, 4, 7)), std::nullopt);
}

// An OLE2 header with 512-byte sectors whose FAT is sector 0 and whose DIFAT chain starts at sector 1.
Bytes compoundFile(uint32_t fatSectors, uint32_t difatStart, uint32_t difatCount) {
    Bytes out;
    append(out, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    out.resize(0x18), appendLe(out, 0x3E, 2), appendLe(out, 3, 2), appendLe(out, 0xFFFE, 2), appendLe(out, 9, 2);
    appendLe(out, 6, 2), out.resize(0x2C), appendLe(out, fatSectors, 4), appendLe(out, 2, 4);
    out.resize(0x44), appendLe(out, difatStart, 4), appendLe(out, difatCount, 4);
    // Every header slot in use names sector 0 as a FAT sector.
    for (uint32_t slot = 0; slot < 109; ++slot) appendLe(out, slot < fatSectors ? 0 : 0xFFFFFFFF, 4);
    // Sector 0: the FAT. It marks itself, sector 1 as DIFAT, sectors 2 and 3 as a chain.
    const Bytes fat = {0xFD, 0xFF, 0xFF, 0xFF, 0xFC, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    out.insert(out.end(), fat.begin(), fat.end());
    out.resize(1024, 0xFF);
    return out;
}

TEST(BuiltFileLength, CompoundFileEndsAfterItsHighestUsedSector) {
    Bytes file = compoundFile(1, 0xFFFFFFFE, 0);
    file.resize(512 * 5, 0x11);  // header + sectors 0 to 3
    file.resize(512 * 8, 0x00);
    EXPECT_EQ(measure("doc", file), 512u * 5);
    EXPECT_EQ(measure("xls", file), 512u * 5);
}

TEST(BuiltFileLength, CompoundFileWhoseDifatChainLoopsEnds) {
    // 400 FAT sectors claimed, more than the header's 109 slots: the rest come from a DIFAT sector that names
    // itself as the next one, and a DIFAT count that never runs out. Every FAT sector listed is sector 0, so
    // the last of them, number 399, decides: its entry 3 is the highest sector in use.
    Bytes file = compoundFile(400, 1, 0xFFFFFFFF);
    file.resize(512 * 52000, 0x00);
    for (size_t k = 0; k < 128; ++k) test::putLe32(file, 1024 + 4 * k, k == 127 ? 1 : 0);
    EXPECT_EQ(measure("doc", file), (399u * 128 + 3 + 2) * 512);
    test::putLe32(file, 0x48, 2);  // two DIFAT sectors: too few FAT sectors are listed
    EXPECT_EQ(measure("doc", file), std::nullopt);
    EXPECT_EQ(measure("doc", file, 512 * 20000), std::nullopt);  // more FAT than the limit can hold
}

Bytes box(std::string_view type, uint64_t size, bool large = false) {
    Bytes out;
    if (large) appendBe(out, 1, 4), append(out, type), appendBe(out, size, 8);
    else appendBe(out, size, 4), append(out, type);
    out.resize(size, 0x42);
    return out;
}

TEST(BuiltFileLength, IsoMediaWalksTopLevelBoxesUpToTheFirstForeignOne) {
    Bytes movie;
    for (const Bytes& part : {box("ftyp", 24), box("mdat", 70000, true), box("moov", 300)})
        movie.insert(movie.end(), part.begin(), part.end());
    Bytes image = movie;
    image.insert(image.end(), {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F'});  // a JPEG right behind
    image.resize(image.size() + 512, 0);
    EXPECT_EQ(measure("mp4", image), movie.size());
    EXPECT_EQ(measure("mov", image), movie.size());

    Bytes twoMovies = movie;
    twoMovies.insert(twoMovies.end(), movie.begin(), movie.end());
    EXPECT_EQ(measure("mp4", twoMovies), movie.size());

    Bytes noMovie = box("ftyp", 24);
    const Bytes data = box("mdat", 1000);
    noMovie.insert(noMovie.end(), data.begin(), data.end());
    noMovie.resize(4096);
    EXPECT_EQ(measure("mp4", noMovie), std::nullopt);  // truncated before its movie box

    Bytes toTheEnd = box("ftyp", 24);
    toTheEnd.insert(toTheEnd.end(), {0, 0, 0, 0, 'm', 'd', 'a', 't'});
    toTheEnd.resize(4096);
    EXPECT_EQ(measure("mp4", toTheEnd), std::nullopt);  // "to the end of the file" cannot be measured
}

Bytes riff(std::string_view form, uint32_t size) {
    Bytes out;
    append(out, "RIFF"), appendLe(out, size, 4), append(out, form);
    out.resize(8 + size, 0x17);
    return out;
}

TEST(BuiltFileLength, RiffCountsItsPadByteAndAviExtensions) {
    Bytes odd = riff("WAVE", 101);
    odd.resize(1000);
    EXPECT_EQ(measure("wav", odd), 110u);
    EXPECT_EQ(measure("wav", odd, 109), 109u);  // the pad byte falls at the limit
    EXPECT_EQ(measure("avi", odd), std::nullopt);

    Bytes avi = riff("AVI ", 1000);
    const Bytes extension = riff("AVIX", 2000);
    avi.insert(avi.end(), extension.begin(), extension.end());
    const Bytes wave = riff("WAVE", 50);
    avi.insert(avi.end(), wave.begin(), wave.end());
    EXPECT_EQ(measure("avi", avi), 1008u + 2008u);
}

TEST(BuiltFileLength, GifAndPngWithoutTheirEndAreRefused) {
    Bytes gif;
    append(gif, "GIF89a"), appendLe(gif, 1, 2), appendLe(gif, 1, 2), gif.insert(gif.end(), {0x80, 0, 0});
    gif.insert(gif.end(), 6, 0xEE);  // two-entry color table
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0x00});
    Bytes whole = gif;
    whole.push_back(0x3B);
    EXPECT_EQ(measure("gif", whole), whole.size());
    gif.resize(gif.size() + 64, 0x00);
    EXPECT_EQ(measure("gif", gif), std::nullopt);

    Bytes png;
    append(png, "\x89PNG\r\n\x1a\n"), appendBe(png, 13, 4), append(png, "IHDR"), png.resize(png.size() + 17);
    appendBe(png, 0x7FFFFFF0, 4), append(png, "IDAT");  // a chunk larger than the limit
    png.resize(4096);
    EXPECT_EQ(measure("png", png), std::nullopt);
}

TEST(BuiltFileLength, Mp3WalksFramesAndTakesATrailingTag) {
    Bytes mp3;
    append(mp3, "ID3"), mp3.insert(mp3.end(), {4, 0, 0, 0, 0, 1, 0});  // tag of 128 bytes after its header
    mp3.resize(10 + 128);
    // MPEG-1 layer III, 128 kbit/s, 44100 Hz: 417 bytes a frame, 418 with padding.
    for (int frame = 0; frame < 5; ++frame) {
        const size_t at = mp3.size();
        mp3.resize(at + (frame == 2 ? 418 : 417), 0x55);
        mp3[at] = 0xFF, mp3[at + 1] = 0xFB, mp3[at + 2] = frame == 2 ? 0x92 : 0x90, mp3[at + 3] = 0x64;
    }
    const size_t audioEnd = mp3.size();
    append(mp3, "TAG"), mp3.resize(audioEnd + 128, 0x20);
    Bytes image = mp3;
    image.resize(image.size() + 2048, 0x00);
    EXPECT_EQ(measure("mp3", image), mp3.size());
    EXPECT_EQ(measure("mp3", image, audioEnd + 10), audioEnd);  // the tag does not fit: the frames do

    Bytes tagOnly(mp3.begin(), mp3.begin() + 138);
    tagOnly.resize(4096, 0);
    EXPECT_EQ(measure("mp3", tagOnly), std::nullopt);
}

TEST(BuiltFileLength, AReaderThatClaimsMoreThanAskedIsNotBelieved) {
    const CandidateRead boastful = [](uint64_t offset, uint8_t* into, size_t size) -> size_t {
        std::memset(into, 0, size);
        if (offset == 0 && size >= 8) std::memcpy(into, "\x89PNG\r\n\x1a\n", 8);
        return size * 4;
    };
    EXPECT_EQ(measureFileLength("png", boastful, 1 << 20), std::nullopt);
    EXPECT_EQ(measureFileLength("jpg", CandidateRead{}, 1 << 20), std::nullopt);
    EXPECT_EQ(measureFileLength("jpg", boastful, 0), std::nullopt);
}

}  // namespace
}  // namespace vdrec::raw
