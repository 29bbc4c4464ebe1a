#include "fs/hfsplus/hfsplus_volume.h"

#include <algorithm>
#include <unordered_set>

#include "fs/hfsplus/btree_node.h"
#include "platform/text_format.h"

namespace vdrec::fs::hfsplus {

namespace {

constexpr uint64_t kHeaderOffset = 1024;
constexpr uint64_t kHeaderBytes = 512;
constexpr uint32_t kCatalogFileId = 4;
constexpr uint16_t kFolderRecord = 1;
constexpr uint16_t kFileRecord = 2;
constexpr size_t kFolderRecordBytes = 88;
constexpr size_t kFileRecordBytes = 248;
constexpr size_t kForkDataOffset = 88;  // the data fork inside a file record
constexpr uint8_t kDataFork = 0;
// Seconds from 1904-01-01 to 1970-01-01.
constexpr int64_t kHfsEpochOffset = 2082844800;
constexpr uint64_t kTreeWindowBytes = 1u << 20;
// The smallest folder or file record with its key and offset: no tree holds more of them.
constexpr uint64_t kMinRecordBytes = 8 + kFolderRecordBytes + 2;

uint64_t roundToSectors(uint64_t bytes) {
    return (bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize;
}

Fork decodeFork(const platform::ByteReader& in, size_t offset) {
    Fork fork;
    fork.logicalSize = in.be64Or0(offset);
    fork.totalBlocks = in.be32Or0(offset + 12);
    fork.extents = decodeExtents(in, offset + 16);
    return fork;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A catalog name, UTF-16BE, appended as UTF-8 straight to the name pool: one record, no
// allocation. NUL units are dropped (the private metadata folders' names start with four of
// them) so a name never ends early; a lone surrogate becomes U+FFFD.
void appendNameText(std::string& pool, platform::Bytes units) {
    const size_t count = units.size() / 2;
    const auto unitAt = [&](size_t k) {
        return uint32_t{std::to_integer<uint8_t>(units[2 * k])} << 8 | std::to_integer<uint8_t>(units[2 * k + 1]);
    };
    for (size_t k = 0; k < count; ++k) {
        uint32_t unit = unitAt(k);
        if (unit == 0) continue;
        if (unit >= 0xD800 && unit < 0xDC00 && k + 1 < count) {
            const uint32_t low = unitAt(k + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(pool, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
        appendUtf8(pool, unit);
    }
}

}  // namespace

std::vector<Extent> decodeExtents(const platform::ByteReader& in, size_t offset) {
    std::vector<Extent> extents;
    for (size_t k = 0; k < 8; ++k) {
        const uint32_t start = in.be32Or0(offset + 8 * k);
        const uint32_t count = in.be32Or0(offset + 8 * k + 4);
        if (count != 0) extents.push_back({start, count});
    }
    return extents;
}

std::optional<VolumeHeader> decodeVolumeHeader(platform::Bytes bytes) {
    const platform::ByteReader in(bytes);
    if (!in.has(0, kHeaderBytes) || !(in.matches(0, "H+") || in.matches(0, "HX"))) return std::nullopt;
    VolumeHeader h;
    h.blockBytes = in.be32Or0(40);
    h.totalBlocks = in.be32Or0(44);
    if (h.blockBytes < 512 || h.blockBytes > 4096 || (h.blockBytes & (h.blockBytes - 1)) != 0) return std::nullopt;
    h.extentsFile = decodeFork(in, 192);
    h.catalogFile = decodeFork(in, 272);
    return h;
}

platform::UnixTime fromHfsDate(uint32_t date) { return {static_cast<int64_t>(date) - kHfsEpochOffset, 0}; }

std::string hfsModeText(uint16_t mode) {
    static constexpr std::pair<uint16_t, const char*> kBits[] = {
        {0x040, "-Owner:X"}, {0x080, "-Owner:W"}, {0x100, "-Owner:R"}, {0x001, "-OX"}, {0x002, "-OW"},
        {0x004, "-OR"},      {0x008, "-GX"},      {0x010, "-GW"},      {0x020, "-GR"},
    };
    std::string text;
    for (const auto& [bit, label] : kBits)
        if (mode & bit) text += label;
    return text;
}

HfsPlusVolume::HfsPlusVolume(platform::UiSink& sink) : sink_(sink) {}

void HfsPlusVolume::attachVolume(const image::DeviceSlice& volume) {
    volume_ = volume;
    deepMode_ = false;
}

bool HfsPlusVolume::readBytes(uint64_t offset, std::vector<std::byte>& into, uint64_t bytes) const {
    if (!volume_.attached() || offset > INT64_MAX || bytes > UINT32_MAX) return false;
    into.resize(static_cast<size_t>(roundToSectors(bytes)));
    const bool read = volume_.readAt(static_cast<int64_t>(offset), into.data(), static_cast<uint32_t>(into.size()));
    into.resize(static_cast<size_t>(bytes));
    return read;
}

bool HfsPlusVolume::readVolumeHeader() {
    header_.reset();
    blockBytes_ = 0;
    std::vector<std::byte> bytes;
    if (!readBytes(kHeaderOffset, bytes, kHeaderBytes)) return false;
    header_ = decodeVolumeHeader(platform::Bytes(bytes.data(), bytes.size()));
    if (!header_) return false;
    blockBytes_ = header_->blockBytes;
    // The header's count bounds block numbers. The size text cannot: it is whole megabytes
    // rounded down, and the volume's last blocks often hold file data. Reads past the image's
    // end fail on their own.
    volumeBlocks_ = header_->totalBlocks;
    return volumeBlocks_ != 0;
}

bool HfsPlusVolume::readFork(const std::vector<Extent>& extents, uint64_t offset, std::vector<std::byte>& into,
                             uint64_t bytes) const {
    if (!volume_.attached() || bytes > UINT32_MAX) return false;
    // Resized, not cleared: a reused buffer keeps its pages, and every byte is read over below.
    into.resize(static_cast<size_t>(bytes));
    const uint64_t blockBytes = blockBytes_;
    uint64_t position = 0;  // fork byte where the current extent starts
    uint64_t done = 0;
    std::vector<std::byte> piece;
    for (const Extent& extent : extents) {
        if (done == bytes) break;
        const uint64_t extentBytes = extent.blockCount * blockBytes;
        const uint64_t want = offset + done;
        if (want < position + extentBytes) {
            if (extent.startBlock > volumeBlocks_ || extent.blockCount > volumeBlocks_ - extent.startBlock) return false;
            const uint64_t inside = want - position;
            const uint64_t length = std::min(extentBytes - inside, bytes - done);
            const uint64_t at = extent.startBlock * blockBytes + inside;
            // Whole sectors go straight into place; only a ragged piece takes a detour.
            if (length % image::kSectorSize == 0 && at <= INT64_MAX) {
                if (!volume_.readAt(static_cast<int64_t>(at), into.data() + done, static_cast<uint32_t>(length))) return false;
            } else {
                if (!readBytes(at, piece, length)) return false;
                std::copy(piece.begin(), piece.end(), into.begin() + static_cast<ptrdiff_t>(done));
            }
            done += length;
        }
        position += extentBytes;
    }
    return done == bytes;
}

std::vector<Extent> HfsPlusVolume::allExtents(uint32_t fileId, const Fork& fork) const {
    std::vector<Extent> extents = fork.extents;
    uint64_t blocks = 0;
    for (const Extent& e : extents) blocks += e.blockCount;
    // Each overflow record names the file block it starts at; the lookups stop when none
    // follows on, and can take no more steps than there are records.
    for (size_t steps = 0; blocks < fork.totalBlocks && steps < overflow_.size(); ++steps) {
        const auto it = overflow_.find({fileId, blocks});
        if (it == overflow_.end()) break;
        uint64_t added = 0;
        for (const Extent& e : it->second) {
            extents.push_back(e);
            added += e.blockCount;
        }
        if (added == 0) break;
        blocks += added;
    }
    return extents;
}

template <typename Visit>
bool HfsPlusVolume::walkLeaves(const std::vector<Extent>& extents, Visit&& visit, uint64_t* leafRecords) {
    std::vector<std::byte> window;
    if (!readFork(extents, 0, window, 512)) return false;
    const auto tree = decodeTreeHeader(platform::Bytes(window.data(), window.size()));
    if (!tree) return false;
    uint64_t forkBytes = 0;
    for (const Extent& e : extents) forkBytes += e.blockCount * blockBytes_;
    // Node numbers the file can hold: a larger total or link is damage.
    const uint64_t nodes = std::min<uint64_t>(tree->totalNodes, forkBytes / tree->nodeBytes);
    if (leafRecords != nullptr) *leafRecords = tree->leafRecords;
    // A set, not a bitmap of every node number: a damaged header may claim billions of nodes,
    // and only those actually read take memory.
    std::unordered_set<uint64_t> visited;
    visited.reserve(static_cast<size_t>(std::min<uint64_t>(nodes, 1u << 16)));
    sink_.progressRange(0, static_cast<int64_t>(nodes));
    uint64_t seen = 0;
    // Leaves mostly follow one another in the file: they are read a window of nodes at a time.
    uint64_t windowStart = 0;
    window.clear();
    // The leaf chain in key order; a link back to a node already read (a damaged tree) ends it.
    for (uint64_t number = tree->firstLeafNode; number != 0 && number < nodes && visited.insert(number).second;) {
        if (stopConsumed()) break;
        const uint64_t offset = number * tree->nodeBytes;
        if (offset < windowStart || offset + tree->nodeBytes > windowStart + window.size()) {
            const uint64_t bytes = std::min(kTreeWindowBytes, nodes * tree->nodeBytes - offset);
            windowStart = offset;
            if (!readFork(extents, offset, window, bytes) &&
                !readFork(extents, offset, window, tree->nodeBytes))
                break;
        }
        const platform::Bytes bytes =
            platform::Bytes(window.data(), window.size()).subspan(static_cast<size_t>(offset - windowStart), tree->nodeBytes);
        const auto descriptor = decodeNodeDescriptor(bytes);
        if (!descriptor || descriptor->kind != kLeafNode) break;
        for (const NodeRecord& record : nodeRecords(bytes)) visit(record.bytes);
        sink_.progressPosition(static_cast<int64_t>(++seen));
        number = descriptor->forwardLink;
    }
    return true;
}

bool HfsPlusVolume::readExtentsOverflow() {
    overflow_.clear();
    std::vector<Extent> extentsFile;
    if (header_) extentsFile = header_->extentsFile.extents;
    else if (deepMode_) extentsFile = foundExtentsFile();
    else return false;
    // A volume without overflow extents, or with an unreadable overflow tree, still lists and
    // saves everything its catalog records hold.
    if (extentsFile.empty()) return true;
    sink_.status("reading extents overflow nodes....");
    walkLeaves(extentsFile, [this](platform::Bytes record) {
        const platform::ByteReader in(record);
        const uint16_t keyLength = in.be16Or0(0);
        if (keyLength < 10 || !in.has(2 + size_t{keyLength}, 64)) return;
        if (in.u8Or0(2) != kDataFork) return;
        overflow_.emplace(std::pair<uint32_t, uint64_t>{in.be32Or0(4), in.be32Or0(8)}, decodeExtents(in, 2 + size_t{keyLength}));
    });
    return true;
}

void HfsPlusVolume::readCatalogRecord(platform::Bytes record) {
    const platform::ByteReader in(record);
    const uint16_t keyLength = in.be16Or0(0);
    const uint16_t nameUnits = in.be16Or0(6);
    // The key (parent ID, name) and the record's body must both lie inside the record.
    if (keyLength < 6 || nameUnits == 0 || nameUnits > 255 || 6 + size_t{2} * nameUnits > keyLength) return;
    const size_t body = 2 + size_t{keyLength};
    const uint16_t type = in.be16Or0(body);
    if (!(type == kFolderRecord && in.has(body, kFolderRecordBytes)) && !(type == kFileRecord && in.has(body, kFileRecordBytes)))
        return;
    HfsEntry e;
    e.parentId = in.be32Or0(2);
    e.folder = type == kFolderRecord;
    e.nodeId = in.be32Or0(body + 8);
    if (e.nodeId == 0) return;
    e.createdDate = in.be32Or0(body + 12);
    e.modifiedDate = in.be32Or0(body + 16);
    e.changedDate = in.be32Or0(body + 20);
    e.accessedDate = in.be32Or0(body + 24);
    e.mode = in.be16Or0(body + 42);
    if (!e.folder) {
        const platform::ByteReader fork(record.subspan(body));
        e.data = decodeFork(fork, kForkDataOffset);
    }
    e.nameOffset = namePool_.size();
    appendNameText(namePool_, record.subspan(8, size_t{2} * nameUnits));
    e.nameLength = static_cast<uint32_t>(namePool_.size() - e.nameOffset);
    entries_.push_back(std::move(e));
}

bool HfsPlusVolume::readCatalog() {
    entries_.clear();
    namePool_.clear();
    if (!header_) return false;
    sink_.status("reading catalog nodes....");
    const std::vector<Extent> extents = allExtents(kCatalogFileId, header_->catalogFile);
    uint64_t forkBytes = 0;
    for (const Extent& e : extents) forkBytes += e.blockCount * blockBytes_;
    uint64_t leafRecords = 0;
    // Folder and file records are half the leaf records (each has a thread record); the count
    // is the header's word, so no more are reserved than the catalog file, and the image file
    // under it, could hold.
    const auto reserve = [&] {
        // A sparse container's volume may be far larger than its file: a reservation is only a
        // hint, so it is also held to what a large real catalog needs.
        constexpr uint64_t kMostReserved = uint64_t{1} << 22;
        const uint64_t expected = std::min({leafRecords / 2 + 1, forkBytes / kMinRecordBytes,
                                            volume_.size() / kMinRecordBytes, kMostReserved});
        entries_.reserve(static_cast<size_t>(expected));
        namePool_.reserve(static_cast<size_t>(expected) * 24);
    };
    bool reserved = false;
    const auto visit = [&](platform::Bytes record) {
        if (!reserved) {
            reserve();
            reserved = true;
        }
        readCatalogRecord(record);
    };
    if (!walkLeaves(extents, visit, &leafRecords)) return false;
    keepOneEntryPerId();
    return true;
}

void HfsPlusVolume::keepOneEntryPerId() {
    // Sorted through (node ID, position) pairs, then moved into place cycle by cycle: entries
    // are large to shuffle, and a second array of them would double the memory touched.
    std::vector<std::pair<uint32_t, uint32_t>> order(entries_.size());
    for (size_t k = 0; k < entries_.size(); ++k) order[k] = {entries_[k].nodeId, static_cast<uint32_t>(k)};
    std::sort(order.begin(), order.end());
    for (size_t k = 0; k < order.size(); ++k) {
        if (order[k].second == k) continue;
        // Place k takes the entry at order[k]; follow the cycle until it closes.
        HfsEntry moving = std::move(entries_[k]);
        size_t at = k;
        while (order[at].second != k) {
            const size_t from = order[at].second;
            entries_[at] = std::move(entries_[from]);
            order[at].second = static_cast<uint32_t>(at);
            at = from;
        }
        entries_[at] = std::move(moving);
        order[at].second = static_cast<uint32_t>(at);
    }
    if (deepMode_) {
        // A record found in several nodes (a node left behind by a split, a stale copy in free
        // space): its most recent state moves to the front, the first met among equals.
        for (size_t k = 0; k < entries_.size();) {
            size_t end = k + 1, newest = k;
            for (; end < entries_.size() && entries_[end].nodeId == entries_[k].nodeId; ++end)
                if (entries_[end].changedDate > entries_[newest].changedDate) newest = end;
            if (newest != k) std::swap(entries_[k], entries_[newest]);
            k = end;
        }
    }
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const HfsEntry& a, const HfsEntry& b) { return a.nodeId == b.nodeId; }),
                   entries_.end());
}

int64_t HfsPlusVolume::indexOf(uint32_t nodeId) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), nodeId,
                                     [](const HfsEntry& e, uint32_t value) { return e.nodeId < value; });
    return it != entries_.end() && it->nodeId == nodeId ? it - entries_.begin() : kNoIndex;
}

void HfsPlusVolume::linkEntries() {
    sink_.status("Maintaining Parent Child....");
    if (deepMode_) {
        linkByParent();
        return;
    }
    const auto count = static_cast<int64_t>(entries_.size());
    sink_.progressRange(0, count);
    for (int64_t k = 0; k < count; ++k) {
        if ((k & 0xFFF) == 0) {
            sink_.status(platform::format("Maintaining Parent Child for record %lld of %lld....", static_cast<long long>(k),
                                          static_cast<long long>(count)));
            sink_.progressPosition(k + 1);
            if (stopConsumed()) return;
        }
        HfsEntry& child = entries_[static_cast<size_t>(k)];
        // The root folder is never anyone's child: a damaged parent ID would make it its own
        // descendant and every walk from the root endless.
        if (child.nodeId == kRootFolderId) continue;
        const int64_t p = indexOf(child.parentId);
        if (p == kNoIndex || p == k || !entries_[static_cast<size_t>(p)].folder) continue;
        appendChild(p, k);
    }
    sink_.progressPosition(count);
}

void HfsPlusVolume::appendChild(int64_t parent, int64_t child) {
    HfsEntry& p = entries_[static_cast<size_t>(parent)];
    if (p.lastChild == kNoIndex) p.firstChild = child;
    else entries_[static_cast<size_t>(p.lastChild)].nextSibling = child;
    p.lastChild = child;
}

std::vector<int64_t> HfsPlusVolume::rootLevel() const {
    if (deepMode_) return deepRootLevel_;
    std::vector<int64_t> level;
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), kRootFolderId,
                                     [](const HfsEntry& e, uint32_t value) { return e.nodeId < value; });
    if (it == entries_.end() || it->nodeId != kRootFolderId || !it->folder) return level;
    size_t steps = 0;
    for (int64_t k = it->firstChild; k != kNoIndex && steps < entries_.size(); k = entries_[static_cast<size_t>(k)].nextSibling, ++steps)
        level.push_back(k);
    return level;
}

std::string_view HfsPlusVolume::name(int64_t index) const {
    if (!validEntry(index)) return {};
    const HfsEntry& e = entries_[static_cast<size_t>(index)];
    return std::string_view(namePool_).substr(static_cast<size_t>(e.nameOffset), e.nameLength);
}

void HfsPlusVolume::rename(int64_t index, std::string_view name) {
    if (!validEntry(index)) return;
    HfsEntry& e = entries_[static_cast<size_t>(index)];
    e.nameOffset = namePool_.size();
    e.nameLength = static_cast<uint32_t>(name.size());
    namePool_ += name;
}

}  // namespace vdrec::fs::hfsplus
