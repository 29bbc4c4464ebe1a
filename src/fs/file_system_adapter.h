#pragma once
// What the results model asks of a file system about its entries. Each parser owns its entry
// records; the model, the save walk and the search hold only EntryRef values and ask here.
// Adding a file system means adding a parser and one of these, not editing the results code.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vdrec::fs {

// An entry of the parser's own numbering (NTFS: entry index; HFS+: catalog node ID; ...).
using EntryRef = int64_t;
inline constexpr EntryRef kNoEntry = -1;

// The texts of a file-list row, as the parser formats them.
struct ListTexts {
    std::string created, accessed, modified;
    std::string size;
    std::string attributes;
};

// How the save walk treats an entry.
enum class SaveKind {
    Folder,       // walked; its children are saved below it
    File,         // counted and copied
    CountedOnly,  // counted but not written (NTFS "$BadClus")
    Skipped,      // neither counted nor written
};

// What one copy achieved. Short: the file was written but not all of its data could be read.
// NoData: a removed file of which nothing survives; nothing was written, and the caller says so
// (once per file for a single save, as a count at the end of a folder's).
enum class CopyStatus { Ok, Short, Failed, NoData };

struct CopyResult {
    CopyStatus status = CopyStatus::Failed;
    uint64_t bytesWritten = 0;
};

class FileSystemAdapter {
public:
    virtual ~FileSystemAdapter() = default;

    // The entries the parser's tree-building step puts under the volume's top item, in order.
    virtual std::vector<EntryRef> rootLevel() const = 0;

    virtual bool isValid(EntryRef entry) const = 0;
    // The tree's folder test.
    virtual bool isFolder(EntryRef entry) const = 0;
    virtual bool hasChildren(EntryRef entry) const = 0;
    // Child links; kNoEntry ends a chain. Callers bound their walks: links come from the disk.
    virtual EntryRef firstChild(EntryRef entry) const = 0;
    virtual EntryRef nextSibling(EntryRef entry) const = 0;
    // Drawn in the deleted style. `parentDeleted`: the folder being populated is deleted itself.
    virtual bool isDeleted(EntryRef entry, bool parentDeleted) const = 0;
    // The stored name as UTF-8, no path.
    virtual std::string name(EntryRef entry) const = 0;
    // The same name appended to `out`: no allocation once `out` has room.
    virtual void appendName(EntryRef entry, std::string& out) const { out += name(entry); }
    // Replaces the stored name (recycle-bin names): every later view, search and save sees it.
    virtual void rename(EntryRef entry, std::string name) = 0;
    virtual ListTexts listTexts(EntryRef entry) const = 0;
    // The same texts written into `texts`, reusing its buffers: a listing asks once per entry.
    // Without `withSize` the size text may be left as it was.
    virtual void fillListTexts(EntryRef entry, ListTexts& texts, bool withSize) const {
        (void)withSize;
        texts = listTexts(entry);
    }

    virtual SaveKind saveKind(EntryRef entry) const = 0;
    // What follows "File size: " on the second status line while the file is saved.
    virtual std::string sizeStatusText(EntryRef entry) const = 0;
    // The file's data length in bytes, as the parser would write it.
    virtual uint64_t dataSize(EntryRef entry) const = 0;
    // Writes the entry's data to `destinationPath`, which the caller has made safe and which does
    // not exist yet (create it new, never replace), then sets the recorded times it can.
    virtual CopyResult saveFile(EntryRef entry, const std::string& destinationPath) = 0;
    // The entry's data in memory, nullopt when larger than `maxBytes` or unreadable.
    virtual std::optional<std::vector<uint8_t>> readData(EntryRef entry, size_t maxBytes) = 0;

    // File-system rules the results model follows.
    struct Rules {
        bool childrenInheritCheck = false;    // NTFS: new children take the folder's check state
        bool expansionStopsAtEmptyName = false;  // NTFS: expansion ends at the first unnamed child
        bool capitalisedConfirmation = false; // NTFS: "Number of files found ..." (others "number")
        bool recycleBinPerUserFolders = false;  // NTFS: "$I" files sit in per-user subfolders
        bool recycleBinNames = false;         // NTFS, FAT32, exFAT restore recycled names
        bool expansionClearsList = false;     // FAT16, FAT32, exFAT, HFS+: expanding empties the list
        bool doubleClickNeedsNoChildItems = false;  // all but NTFS: a placeholder blocks population
    };
    virtual Rules rules() const = 0;
};

}  // namespace vdrec::fs
