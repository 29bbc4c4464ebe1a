#include "image/mapped_reader.h"

#include <algorithm>
#include <cstring>

namespace vdrec::image {

ReadResult MappedReader::read(uint64_t offset, void* buffer, size_t count) const {
    auto* out = static_cast<uint8_t*>(buffer);
    if (!source_) {
        std::memset(out, 0, count);
        return {0, ReadResult::Error::Failed, 0};
    }
    ReadResult result{count, ReadResult::Error::None, 0};
    uint64_t done = 0;
    while (done < count) {
        const uint64_t remaining = count - done;
        Run run;
        {
            std::lock_guard lock(locateLock_);
            if (offset <= UINT64_MAX - done) run = locate(offset + done);
        }
        const uint64_t length = (run.kind == Run::Kind::Outside || run.length == 0)
                                    ? remaining
                                    : std::min(run.length, remaining);
        if (run.kind == Run::Kind::Stored) {
            const int64_t got = platform::readFully(*source_, run.fileOffset, out + done, length);
            // A block that points past the end of the container lost its data: it reads as zeros.
            const uint64_t arrived = got > 0 ? static_cast<uint64_t>(got) : 0;
            std::memset(out + done + arrived, 0, length - arrived);
        } else {
            std::memset(out + done, 0, length);
            if (run.kind == Run::Kind::Outside && result.complete()) result = {done, ReadResult::Error::PastEnd, 0};
        }
        done += length;
    }
    return result;
}

bool MappedReader::seek(int64_t offset, uint32_t method) {
    if (!source_) return false;
    int64_t target = 0;
    switch (method) {
        case FromStart: target = offset; break;
        case FromCurrent: target = position_ + offset; break;
        case FromEnd: target = static_cast<int64_t>(diskBytes()) + offset; break;
        default: return false;
    }
    position_ = target;
    if (target < 0) {
        mapped = false;
        return false;
    }
    Run run;
    {
        std::lock_guard lock(locateLock_);
        run = locate(static_cast<uint64_t>(target));
    }
    if (run.kind == Run::Kind::Outside) return false;
    mapped = run.kind == Run::Kind::Stored;
    return true;
}

}  // namespace vdrec::image
