#pragma once
// The NTFS parser: binds to one volume, finds the MFT (from the boot sector, an anchor the user
// picked, or a scan), turns its records into linked entries and copies file data out.
// Parsing runs on one worker thread; list texts and saving run afterwards on one other thread,
// never at the same time.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "platform/bulk_allocator.h"
#include "fs/ntfs/boot_sector.h"
#include "fs/ntfs/data_stream.h"
#include "fs/ntfs/mft_record.h"
#include "fs/ntfs/ntfs_entry.h"
#include "fs/ntfs/run_list.h"
#include "image/block_device.h"
#include "platform/file_times.h"
#include "platform/text_format.h"
#include "platform/ui_sink.h"

namespace vdrec::fs::ntfs {

// Volume scans read this much per call into one reused buffer.
inline constexpr uint64_t kScanChunkBytes = 10u * 1024 * 1024;

// A copy of the MFT's own record found by the anchor search.
struct MftAnchor {
    std::string text;           // "MFT_ENTRY:<position>"
    uint64_t sector = 0;        // from the volume start
    uint64_t recordOffset = 0;  // bytes from the volume start
};

struct TimesAndAttributes {
    std::string created, accessed, modified;
    std::string attributes;  // "-R-H-S-A-C-E" letters of the flags set
};

class NtfsVolume {
public:
    explicit NtfsVolume(platform::UiSink& sink);
    ~NtfsVolume();
    NtfsVolume(const NtfsVolume&) = delete;
    NtfsVolume& operator=(const NtfsVolume&) = delete;

    // Scan modes.
    static constexpr int kStandard = 1;
    static constexpr int kAdvanced = 2;
    static constexpr int kDeep = 3;

    // `listedBytes`: the size the volume list gives the volume; 0 when unknown.
    void bind(const image::DeviceSlice& volume, uint64_t listedBytes);
    bool readBootSector();
    bool locateMft();
    void collectMftRecords();
    void parseAllRecords();

    int findMftAnchors(int maxCount);
    const std::vector<MftAnchor>& anchors() const { return anchors_; }
    // Before selectMftAnchor in advanced mode: drops the entries and names the anchor search made.
    void resetForAnchor();
    bool selectMftAnchor(size_t index);
    void deepScanMft();

    // Reads and parses the record at `recordOffset` into entry `index`; false when unreadable.
    bool parseRecord(uint64_t recordOffset, int64_t index);
    void linkToParent(int64_t index);
    // The runs of the record's unnamed $DATA (every extent, attribute list included) or of
    // another attribute type's first non-resident attribute.
    std::vector<DataRun> decodeDataRuns(uint64_t recordOffset, uint32_t attributeType);

    TimesAndAttributes timesAndAttributes(int64_t index);
    // The times and attribute texts written into `texts`' buffers (its size text untouched).
    void fillTimesAndAttributes(int64_t index, ListTexts& texts);
    std::string sizeText(int64_t index);
    uint64_t dataSize(int64_t index);
    CopyResult saveFile(int64_t index, const std::string& destinationPath);
    std::optional<std::vector<uint8_t>> readData(int64_t index, size_t maxBytes);

    // Entries and the tree.
    size_t entryCount() const { return entries_.size(); }
    // The entry of the record that `index` names: itself, or for a further name (hard link) the
    // entry holding that record's data and times.
    int64_t recordIndex(int64_t index) const;
    const NtfsEntry& entry(size_t index) const { return entries_[index]; }
    bool validEntry(int64_t index) const;
    std::string_view name(int64_t index) const;
    bool hasName(int64_t index) const;
    void rename(int64_t index, std::string_view name);
    int64_t orphanIndex() const { return orphanIndex_; }
    int64_t rootIndex() const { return rootIndex_; }
    // The entries under the volume's top item, in order.
    std::vector<int64_t> rootLevel() const;

    int scanMode = kStandard;
    uint64_t clusterBytes = 0;
    uint64_t volumeBytes = 0;
    bool mftLocated = false;
    bool needMftRuns = true;
    std::vector<DataRun> mftRuns;
    std::atomic<bool> stopRequested{false};

private:
    using RecordVisitor = std::function<bool(uint64_t recordOffset, platform::Bytes record)>;

    // One file name of a record, as parsing takes it.
    struct FoundName {
        std::string name;  // UTF-8
        int64_t parent = 0;
        bool directory = false;
        bool dosOnly = false;
    };
    // A record met by the deep scan, by the number in its own header.
    struct FoundRecord {
        uint64_t number = 0;
        uint64_t offset = 0;
        int64_t index = -1;  // its entry; -1 when it named nothing and was dropped
        uint16_t sequence = 0;
    };

    // Records and entries.
    bool readRecord(uint64_t recordOffset, MftRecord& out);
    void parseRecordBytes(platform::Bytes bytes, int64_t index);
    std::optional<uint64_t> ownRecordNumber(const MftRecord& record, int64_t index) const;
    // Adds the file names that the record's attribute list places in its extension records.
    void collectListedNames(const MftRecord& record, uint64_t ownNumber,
                            const std::function<std::optional<uint64_t>(uint64_t)>& locate);
    std::optional<uint64_t> extensionOffset(const MftRecord& base, uint64_t ownNumber, uint64_t number);
    static void collectNames(const MftRecord& record, const std::vector<uint16_t>* onlyIds, std::vector<FoundName>& out);
    void assignNames(int64_t index);
    void linkName(int64_t nameIndex, int64_t recordIndex);
    void resolveDeferredNames();
    void cacheListFacts(const MftRecord& record, NtfsEntry& entry);
    void keepRuns(const MftRecord& record, const DataStream& stream, NtfsEntry& entry);
    // The data of a file whose runs were kept while parsing; nullopt when they were not.
    std::optional<DataStream> keptDataStream(int64_t index) const;
    // The access and modification times of the record's standard information, for saving.
    std::optional<std::pair<platform::UnixTime, platform::UnixTime>> recordedTimes(int64_t record);
    void assignName(NtfsEntry& entry, std::string_view utf8);
    int64_t appendEntry(std::array<char, 4> magic, uint64_t recordOffset);
    static std::array<char, 4> magicOf(platform::Bytes bytes);
    void clearEntries();
    std::optional<uint64_t> recordOffsetOf(uint64_t recordNumber);
    std::optional<uint64_t> mapMftOffset(const std::vector<DataRun>& runs, uint64_t mftByte) const;

    // Data streams.
    DataStream readDataStream(int64_t index, bool* recordIsFile = nullptr);
    DataStream dataStreamOf(const MftRecord& base, bool forMft);
    std::vector<uint8_t> readAttributeListContent(const MftRecord& record, const AttributeHeader& attribute);
    std::vector<DataRun> mftRunsFrom(uint64_t recordOffset);
    VolumeGeometry geometry() const;

    // Volume scans in 10 MiB chunks; `visitor` returns false to end the scan, `beforeChunk` too.
    void scanVolume(uint64_t limit, bool strictCandidates, int progressEvery, const std::function<bool()>& beforeChunk,
                    const RecordVisitor& visitor);

    // Tree steps.
    void buildTree();
    void releaseChildrenOfNonFolders();
    void placeOrphansStandard();
    void linkFoundRecords();
    void pushChildFront(int64_t folder, int64_t child);
    void appendChild(int64_t folder, int64_t child);

    uint64_t bootClusterBytes();
    void status(std::string_view text) { sink_.status(text); }

    platform::UiSink& sink_;
    image::DeviceSlice volume_;
    uint64_t listedBytes_ = 0;
    std::optional<NtfsBootSector> boot_;
    platform::BulkVector<NtfsEntry> entries_;
    platform::BulkString namePool_;  // every entry's UTF-8 name, back to back
    platform::BulkVector<uint8_t> runPool_;  // mapping pairs of plain one-extent files, back to back
    std::vector<MftAnchor> anchors_;
    std::optional<uint64_t> mftRecordOffset_;  // the record the MFT runs come from
    std::unique_ptr<MftRecord> record_;        // decoding scratch of the record loop
    std::unique_ptr<MftRecord> extension_;     // an extension record read for its file names
    std::vector<FoundName> names_;             // the names of the record being parsed
    std::vector<FoundRecord> foundRecords_;    // deep scan: every candidate with a record number
    std::vector<int64_t> deferredNames_;       // deep scan: records whose names wait for the whole scan
    uint64_t recordSlots_ = 0;                 // entries that are MFT slots; further names follow them
    int64_t orphanIndex_ = -1;
    int64_t rootIndex_ = -1;
    bool treeBuilt_ = false;
    bool linking_ = true;                   // parent links are made while parsing (not in the anchor and deep scans)
    bool recordNumbersAreIndices_ = false;  // entry i is MFT record i (the record loop of a located MFT)
    bool everyName_ = false;                // one entry per name (tree building), not just the first
    bool deferListedNames_ = false;         // deep scan: extension records are found later
};


using platform::formatSize;

}  // namespace vdrec::fs::ntfs
