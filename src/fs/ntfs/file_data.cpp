// Saving one file, reading small files into memory, and the list texts of an entry.

#include <algorithm>
#include <cstring>

#include "fs/file_copier.h"
#include "fs/ntfs/ntfs_volume.h"
#include "platform/file_times.h"
#include "platform/text_format.h"

namespace vdrec::fs::ntfs {

namespace {

void appendAttributeLetters(std::string& text, uint32_t flags) {
    static constexpr struct {
        uint32_t bit;
        const char* letters;
    } kLetters[] = {{0x0001, "-R"}, {0x0002, "-H"}, {0x0200, "-S"}, {0x0020, "-A"}, {0x0800, "-C"}, {0x4000, "-E"}};
    for (const auto& letter : kLetters)
        if (flags & letter.bit) text.append(letter.letters, 2);
}

void appendTimes(ListTexts& texts, uint64_t created, uint64_t accessed, uint64_t modified) {
    platform::appendListTimeText(texts.created, platform::fromFileTime(created));
    platform::appendListTimeText(texts.accessed, platform::fromFileTime(accessed));
    platform::appendListTimeText(texts.modified, platform::fromFileTime(modified));
}

}  // namespace

uint64_t NtfsVolume::dataSize(int64_t index) {
    index = recordIndex(index);
    if (index >= 0 && static_cast<uint64_t>(index) < entries_.size() && entries_[index].sizeCached)
        return entries_[index].dataSize;
    const DataStream stream = readDataStream(index);
    return stream.present ? stream.outputLength(geometry().clusterBytes) : 0;
}

std::string NtfsVolume::sizeText(int64_t index) { return formatSize(dataSize(index)); }

TimesAndAttributes NtfsVolume::timesAndAttributes(int64_t index) {
    ListTexts texts;
    fillTimesAndAttributes(index, texts);
    return {std::move(texts.created), std::move(texts.accessed), std::move(texts.modified), std::move(texts.attributes)};
}

void NtfsVolume::fillTimesAndAttributes(int64_t index, ListTexts& texts) {
    texts.created.clear();
    texts.accessed.clear();
    texts.modified.clear();
    texts.attributes.clear();
    index = recordIndex(index);
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    if (entries_[index].recordOffset == kNoRecordOffset) return;
    if (entries_[index].timesCached) {
        const NtfsEntry& entry = entries_[index];
        if (entry.cachedHasTimes) appendTimes(texts, entry.creationTime, entry.accessTime, entry.modificationTime);
        if (entry.cachedHasAttributes) appendAttributeLetters(texts.attributes, entry.fileAttributes & 0xFFFF);
        return;
    }
    auto record = std::make_unique<MftRecord>();
    readRecord(entries_[index].recordOffset, *record);
    for (const AttributeHeader& attribute : *record) {
        if (const auto info = decodeStandardInformation(*record, attribute)) {
            texts.created.clear();
            texts.accessed.clear();
            texts.modified.clear();
            appendTimes(texts, info->creationTime, info->accessTime, info->modificationTime);
        }
        if (const auto fileName = decodeFileName(*record, attribute)) {
            texts.attributes.clear();
            appendAttributeLetters(texts.attributes, fileName->fileAttributes & 0xFFFF);
        }
    }
}

CopyResult NtfsVolume::saveFile(int64_t index, const std::string& destinationPath) {
    CopyResult result;
    if (!volume_.attached() || index < 0 || static_cast<uint64_t>(index) >= entries_.size() || !entries_[index].hasName)
        return result;
    const int64_t record = recordIndex(index);
    // Runs kept while parsing spare reading the record again; they were taken from a FILE record.
    std::optional<DataStream> kept = keptDataStream(record);
    bool recordIsFile = kept.has_value();
    const DataStream stream = kept ? std::move(*kept) : readDataStream(record, &recordIsFile);
    if (!recordIsFile) {
        sink_.message("Not a valid entry...");
        return result;
    }
    if (entries_[index].isFolder()) {
        sink_.message(platform::format("This is  %s directory .Please specify file names ", std::string(name(index)).c_str()));
        return result;
    }
    // A record without a data attribute gives an empty file.
    FileMap map = stream.present ? mapDataStream(volume_, geometry(), stream) : FileMap{};
    // Linux offers no way to set the creation time.
    if (const auto times = recordedTimes(record)) {
        map.accessed = times->first;
        map.modified = times->second;
    }
    return copyFile(volume_, map, destinationPath, sink_);
}

std::optional<std::pair<platform::UnixTime, platform::UnixTime>> NtfsVolume::recordedTimes(int64_t record) {
    const NtfsEntry& entry = entries_[record];
    if (entry.timesCached) {
        if (!entry.cachedHasTimes) return std::nullopt;
        return std::pair{platform::fromFileTime(entry.accessTime), platform::fromFileTime(entry.modificationTime)};
    }
    auto decoded = std::make_unique<MftRecord>();
    readRecord(entry.recordOffset, *decoded);
    for (const AttributeHeader& attribute : *decoded)
        if (const auto info = decodeStandardInformation(*decoded, attribute))
            return std::pair{platform::fromFileTime(info->accessTime), platform::fromFileTime(info->modificationTime)};
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> NtfsVolume::readData(int64_t index, size_t maxBytes) {
    if (!volume_.attached()) return std::nullopt;
    bool recordIsFile = false;
    const DataStream stream = readDataStream(recordIndex(index), &recordIsFile);
    if (!recordIsFile || entries_[index].isFolder()) return std::nullopt;
    if (!stream.present) return std::vector<uint8_t>{};
    if (stream.outputLength(geometry().clusterBytes) > maxBytes) return std::nullopt;
    return readFileData(volume_, mapDataStream(volume_, geometry(), stream), maxBytes);
}

}  // namespace vdrec::fs::ntfs
