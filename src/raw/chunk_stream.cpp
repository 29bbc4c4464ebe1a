#include "raw/chunk_stream.h"

#include <algorithm>

namespace vdrec::raw {

ChunkStream::ChunkStream(const image::BlockDevice& reader, uint64_t areaBytes) : reader_(reader), areaBytes_(areaBytes) {
    for (auto& slot : slots_) slot.bytes.resize(static_cast<size_t>(std::min(kChunkBytes, std::max<uint64_t>(areaBytes, 1))));
    thread_ = std::thread([this] { readAll(); });
}

ChunkStream::~ChunkStream() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

const ChunkStream::Chunk& ChunkStream::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return filled_ > 0; });
    return slots_[head_];
}

void ChunkStream::release(uint64_t resumeAt) {
    {
        std::lock_guard lock(mutex_);
        head_ = (head_ + 1) % kSlots;
        --filled_;
        resumeAt_ = std::max(resumeAt_, resumeAt);
    }
    changed_.notify_all();
}

void ChunkStream::readAll() {
    size_t tail = 0;
    uint64_t offset = 0;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || filled_ < kSlots; });
            if (stopping_) return;
            // A chunk the scan has jumped past is never read.
            if (resumeAt_ > offset) offset = std::min(resumeAt_ / kChunkBytes * kChunkBytes, areaBytes_);
        }
        Chunk& chunk = slots_[tail];
        chunk.offset = offset;
        chunk.size = static_cast<uint32_t>(std::min(kChunkBytes, areaBytes_ - offset));
        chunk.last = offset + chunk.size >= areaBytes_;
        // A read that fails leaves zeros, which no signature matches; the scan goes on.
        if (chunk.size > 0) reader_.readAt(static_cast<int64_t>(offset), chunk.bytes.data(), chunk.size);
        offset += chunk.size;
        {
            std::lock_guard lock(mutex_);
            tail = (tail + 1) % kSlots;
            ++filled_;
        }
        changed_.notify_all();
        if (chunk.last) return;
    }
}

}  // namespace vdrec::raw
