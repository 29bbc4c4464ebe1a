#include "image/header_facts.h"

#include <vector>

#include "image/vdi_reader.h"
#include "image/vhd_reader.h"
#include "image/vmdk_reader.h"
#include "platform/byte_reader.h"
#include "platform/text_format.h"

namespace vdrec::image {

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;

}  // namespace

HeaderFacts rawFacts(const platform::ByteSource& source) {
    HeaderFacts facts;
    facts.kind = ImageKind::Raw;
    // Linux reports no cylinder/head/sector geometry worth showing for files or devices.
    facts.sectorsPerTrack = facts.heads = facts.cylinders = "N/A";
    facts.diskSizeMegabytes = source.deviceSize().value_or(source.length()) / kMegabyte;
    return facts;
}

HeaderFacts vhdFacts(platform::ByteSource& source) {
    uint8_t headers[1536] = {};
    platform::readFully(source, 0, headers, sizeof headers);
    const platform::ByteReader footer(platform::asBytes(headers, 512));
    const platform::ByteReader dynamicHeader(platform::asBytes(headers + 512, 1024));
    HeaderFacts facts;
    facts.kind = ImageKind::DynamicVhd;
    facts.fileFormatVersion = platform::format("%lu", static_cast<unsigned long>(footer.be32Or0(12)));
    facts.cylinders = platform::format("%d", footer.be16Or0(56));
    facts.heads = platform::format("%d", footer.u8Or0(58));
    facts.sectorsPerTrack = platform::format("%d", footer.u8Or0(59));
    facts.diskSizeMegabytes = footer.be64Or0(48) / kMegabyte;
    facts.maximumTableEntries = dynamicHeader.be32Or0(28);
    return facts;
}

HeaderFacts vdiFacts(platform::ByteSource& source) {
    uint8_t raw[472] = {};
    platform::readFully(source, 0, raw, sizeof raw);
    const VdiHeader header = decodeVdiHeader(platform::asBytes(raw, sizeof raw));
    HeaderFacts facts;
    facts.kind = ImageKind::Vdi;
    facts.fileFormatVersion = platform::format("%lu", static_cast<unsigned long>(header.version));
    facts.cylinders = platform::format("%u", header.cylinders);
    facts.heads = platform::format("%u", header.heads);
    facts.sectorsPerTrack = platform::format("%u", header.sectors);
    facts.diskSizeMegabytes = header.diskSize / kMegabyte;
    return facts;
}

std::optional<HeaderFacts> vmdkFacts(platform::ByteSource& source) {
    uint8_t raw[512] = {};
    platform::readFully(source, 0, raw, sizeof raw);
    const VmdkHeader header = decodeVmdkHeader(platform::asBytes(raw, sizeof raw));
    if (header.magic != kVmdkMagic || !hasEmbeddedDescriptor(header)) return std::nullopt;
    const uint64_t offset = header.descriptorOffset * kSectorSize;
    const uint64_t size = std::min<uint64_t>(header.descriptorSize * kSectorSize, 1 << 20);
    std::string text(size, '\0');
    const int64_t got = platform::readFully(source, offset, text.data(), size);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    auto descriptor = parseVmdkDescriptor(text);
    HeaderFacts facts;
    facts.kind = ImageKind::Vmdk;
    if (descriptor) {
        facts.fileFormatVersion = descriptor->version;
        facts.cylinders = descriptor->cylinders;
        facts.heads = descriptor->heads;
        facts.sectorsPerTrack = descriptor->sectors;
        facts.diskSizeMegabytes = descriptor->totalSectors() * kSectorSize / kMegabyte;
    }
    return facts;
}

std::optional<HeaderFacts> readHeaderFacts(const std::string& path, ImageKind kind, platform::UiSink& sink) {
    auto file = platform::ImageFile::open(path);
    switch (kind) {
        case ImageKind::DynamicVhd:
            if (!file) break;
            return vhdFacts(*file);
        case ImageKind::Vdi:
            if (!file) break;
            return vdiFacts(*file);
        case ImageKind::Vmdk: {
            if (!file) break;
            auto facts = vmdkFacts(*file);
            if (!facts) sink.message("Please select valid vmdk file to continue the recovery process.");
            return facts;
        }
        case ImageKind::Raw:
            if (!file) break;
            return rawFacts(*file);
    }
    sink.message("invalid handle ...");
    return std::nullopt;
}

}  // namespace vdrec::image
