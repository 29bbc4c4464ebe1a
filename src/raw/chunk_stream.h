#pragma once
// The area in large chunks, read on a thread of its own one step ahead of the scan, so that
// reading and testing overlap. The scan may say where it goes on; chunks it has jumped over are
// not read at all.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "image/block_device.h"

namespace vdrec::raw {

class ChunkStream {
public:
    static constexpr size_t kSlots = 3;
    static constexpr uint64_t kChunkBytes = 4u << 20;

    struct Chunk {
        std::vector<uint8_t> bytes;
        uint64_t offset = 0;  // area-relative
        uint32_t size = 0;    // whole sectors
        bool last = false;
    };

    // Reads [0, areaBytes) of the reader (relative to its base offset).
    ChunkStream(const image::BlockDevice& reader, uint64_t areaBytes);
    ~ChunkStream();
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    // The next chunk in area order, once read; valid until release(). Its `last` is set on the
    // chunk that reaches the area's end.
    const Chunk& next();
    // Done with the chunk next() gave; the scan goes on at `resumeAt` (chunks wholly before it
    // are skipped).
    void release(uint64_t resumeAt);

private:
    void readAll();

    const image::BlockDevice& reader_;
    const uint64_t areaBytes_;
    Chunk slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t head_ = 0, filled_ = 0;
    uint64_t resumeAt_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vdrec::raw
