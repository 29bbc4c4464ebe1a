#pragma once
// One name of an MFT slot or found record, as the tree and the list see it. Kept small: a volume
// may hold millions of them. Names live in the parser's name pool, not in the entry. A record with
// several names (hard links) has one entry per name; the extra ones point at the record's entry,
// which alone keeps the record's times and size.

#include <array>
#include <cstdint>

namespace vdrec::fs::ntfs {

inline constexpr uint64_t kNoRecordOffset = UINT64_MAX;

struct NtfsEntry {
    std::array<char, 4> magic{};  // first four bytes of the record; "FILE" when valid
    uint16_t recordFlags = 0;     // record header flags: bit 0 in use (clear = deleted)
    char kind = 0;                // 'D' when a file-name attribute says directory
    uint8_t orphan = 0;           // no trustworthy parent: shown in the orphan folder
    uint64_t recordOffset = kNoRecordOffset;  // byte offset of the record in the volume
    int64_t parentIndex = 0;      // parent record number, used as an entry index
    uint64_t runsOffset = 0;      // into the parser's run pool: the data's mapping pairs, kept for saving
    int64_t recordIndex = 0;      // the entry of the record this name belongs to (itself for a record)
    int64_t firstChild = 0;       // 0 = none
    int64_t nextSibling = 0;      // below 1 ends the chain
    int64_t lastChild = 0;        // tail of the child chain, so that linking is O(1)
    uint64_t nameOffset = 0;      // into the parser's name pool
    uint16_t nameLength = 0;      // UTF-8 bytes
    bool hasName = false;
    bool linked = false;          // already in its parent's chain
    // List facts taken while the record was in memory, so listing reads nothing again.
    bool timesCached = false;
    bool sizeCached = false;
    bool cachedHasTimes = false;       // the record held a standard-information attribute
    bool cachedHasAttributes = false;  // and a file-name attribute
    uint32_t fileAttributes = 0;  // of the last file-name attribute
    uint16_t runsLength = 0;      // 0: nothing kept, saving reads the record again
    uint64_t creationTime = 0, accessTime = 0, modificationTime = 0;  // FILETIMEs
    uint64_t dataSize = 0;

    bool isFile() const { return magic == std::array<char, 4>{'F', 'I', 'L', 'E'}; }
    bool isFolder() const { return kind == 'D'; }
    bool isDeleted() const { return (recordFlags & 1) == 0; }
};

}  // namespace vdrec::fs::ntfs
