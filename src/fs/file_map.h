#pragma once
// Where an entry's bytes are: ordered pieces covering the file from its first byte, each read
// from the volume, left a hole, lost, carried in the map itself or made by a transform. Each
// parser says only this; the copier (fs/file_copier.h) writes every file from it the same way.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/file_times.h"

namespace vdrec::fs {

struct FilePiece {
    enum class Kind : uint8_t {
        Device,    // `length` bytes at `source` in the volume
        Hole,      // zeros the file system never stored: left a hole of the output
        Lost,      // bytes no longer to be had (damage, a missing extent): zeros, and the copy is short
        Held,      // bytes the map carries, at `source` in FileMap::held (a link's text, resident data)
        Produced,  // bytes FileMap::produce makes (compressed data)
    };

    Kind kind = Kind::Hole;
    uint64_t fileOffset = 0;
    uint64_t length = 0;
    uint64_t source = 0;
};

struct FileMap {
    enum class Kind { Regular, SymbolicLink };  // a link is saved as a file holding its target text

    // Fills `into` with `length` bytes at `fileOffset` of a Produced piece; false when some of them
    // could not be had (those are zeros). Called with ranges inside one piece, in file order.
    using Producer = std::function<bool(uint64_t fileOffset, uint8_t* into, size_t length)>;

    Kind kind = Kind::Regular;
    // The saved length. Pieces end at or before it; what they leave after the last is a hole.
    uint64_t size = 0;
    std::vector<FilePiece> pieces;  // ascending, not overlapping
    std::vector<uint8_t> held;
    Producer produce;
    // Reads of a Device piece that fail are retried in pieces of this many bytes, so one bad
    // sector costs its block and not the whole chunk: the file system's block or cluster size.
    uint64_t retryBytes = 4096;
    // False when the parser knows of data the pieces do not give (a chain that ends early).
    bool complete = true;
    std::optional<platform::UnixTime> accessed, modified;

    void addDevice(uint64_t fileOffset, uint64_t length, uint64_t deviceOffset) {
        add(FilePiece::Kind::Device, fileOffset, length, deviceOffset);
    }
    void addHole(uint64_t fileOffset, uint64_t length) { add(FilePiece::Kind::Hole, fileOffset, length, 0); }
    void addLost(uint64_t fileOffset, uint64_t length) { add(FilePiece::Kind::Lost, fileOffset, length, 0); }
    void addHeld(uint64_t fileOffset, const void* bytes, size_t length) {
        const auto* first = static_cast<const uint8_t*>(bytes);
        add(FilePiece::Kind::Held, fileOffset, length, held.size());
        held.insert(held.end(), first, first + length);
    }
    void addProduced(uint64_t fileOffset, uint64_t length) { add(FilePiece::Kind::Produced, fileOffset, length, 0); }

private:
    void add(FilePiece::Kind kind, uint64_t fileOffset, uint64_t length, uint64_t source) {
        if (length == 0) return;
        // Neighbouring device ranges of one file (consecutive clusters) become one read.
        if (!pieces.empty()) {
            FilePiece& last = pieces.back();
            if (last.kind == kind && last.fileOffset + last.length == fileOffset &&
                (kind != FilePiece::Kind::Device || last.source + last.length == source) &&
                kind != FilePiece::Kind::Held) {
                last.length += length;
                return;
            }
        }
        pieces.push_back({kind, fileOffset, length, source});
    }
};

}  // namespace vdrec::fs
