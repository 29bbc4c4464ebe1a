#include "fs/ext/inode.h"

#include <cstring>

#include "fs/ext/inline_data.h"

namespace vdrec::fs::ext {

namespace {

// Seconds as stored (signed 32 bits), widened by the extra field's epoch bits and given its
// nanoseconds when the inode is large enough to hold it.
platform::UnixTime inodeTime(const platform::ByteReader& in, size_t at, size_t extraAt, bool hasExtra) {
    platform::UnixTime time;
    time.seconds = static_cast<int32_t>(in.le32Or0(at));
    if (hasExtra) {
        const uint32_t extra = in.le32Or0(extraAt);
        time.seconds += static_cast<int64_t>(extra & 0x3) << 32;
        const uint32_t nanoseconds = extra >> 2;
        if (nanoseconds < 1000000000) time.nanoseconds = nanoseconds;
    }
    return time;
}

}  // namespace

std::optional<Inode> decodeInode(platform::Bytes bytes) {
    const platform::ByteReader in(bytes);
    if (!in.has(0, 128)) return std::nullopt;
    Inode inode;
    inode.mode = in.le16Or0(0);
    inode.size = in.le32Or0(4) | uint64_t{in.le32Or0(108)} << 32;
    inode.deletionTime = in.le32Or0(20);
    inode.links = in.le16Or0(26);
    inode.sectors = in.le32Or0(28);
    inode.flags = in.le32Or0(32);
    inode.fileAcl = in.le32Or0(104) | uint64_t{in.le16Or0(118)} << 32;
    std::memcpy(inode.blockField.data(), bytes.data() + 40, kBlockFieldBytes);
    // The extra fields count from byte 128; each time's extra word must lie inside them.
    const uint16_t extraBytes = in.has(128, 2) ? in.le16Or0(128) : 0;
    auto extraCovers = [&](size_t at) { return in.has(at, 4) && at + 4 <= 128u + extraBytes; };
    inode.changed = inodeTime(in, 12, 132, extraCovers(132));
    inode.modified = inodeTime(in, 16, 136, extraCovers(136));
    inode.accessed = inodeTime(in, 8, 140, extraCovers(140));
    if (inode.hasInlineData()) inode.inlineValue = inlineDataValue(bytes);
    return inode;
}

}  // namespace vdrec::fs::ext
