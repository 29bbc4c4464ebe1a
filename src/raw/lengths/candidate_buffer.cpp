#include "raw/lengths/candidate_buffer.h"

#include <algorithm>
#include <cstring>

namespace vdrec::raw {

CandidateBuffer::CandidateBuffer(const CandidateRead& read, uint64_t limit)
    : read_(read), limit_(limit), window_(kWindow) {}

bool CandidateBuffer::fill(uint64_t offset, size_t atLeast) {
    if (offset >= limit_ || atLeast > kWindow || limit_ - offset < atLeast) return false;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindow, limit_ - offset));
    const size_t got = read_(offset, window_.data(), want);
    windowStart_ = offset;
    windowSize_ = std::min(got, want);  // a reader that claims more than it was asked for is not trusted
    return windowSize_ >= atLeast;
}

std::optional<platform::ByteReader> CandidateBuffer::at(uint64_t offset, size_t length) {
    if (length == 0 || length > kWindow || offset >= limit_ || limit_ - offset < length) return std::nullopt;
    const bool inside = offset >= windowStart_ && offset - windowStart_ <= windowSize_ &&
                        windowSize_ - (offset - windowStart_) >= length;
    if (!inside && !fill(offset, length)) return std::nullopt;
    const size_t skip = static_cast<size_t>(offset - windowStart_);
    return platform::ByteReader(platform::asBytes(window_.data() + skip, length));
}

platform::Bytes CandidateBuffer::rest(uint64_t offset, size_t atLeast) {
    const bool inside = offset >= windowStart_ && offset - windowStart_ <= windowSize_ &&
                        windowSize_ - (offset - windowStart_) >= atLeast;
    if (!inside && !fill(offset, atLeast)) return {};
    const size_t skip = static_cast<size_t>(offset - windowStart_);
    return platform::asBytes(window_.data() + skip, windowSize_ - skip);
}

platform::Bytes CandidateBuffer::from(uint64_t offset) { return rest(offset, 1); }

std::optional<uint64_t> CandidateBuffer::find(uint64_t from, uint64_t end, std::string_view pattern) {
    if (pattern.empty() || pattern.size() > kWindow / 2) return std::nullopt;
    end = std::min(end, limit_);
    uint64_t position = from;
    while (position < end && end - position >= pattern.size()) {
        // Refill at `position` whenever fewer than a pattern's length remain, so a match never straddles windows.
        const platform::Bytes bytes = rest(position, pattern.size());
        if (bytes.size() < pattern.size()) return std::nullopt;
        const size_t span = static_cast<size_t>(std::min<uint64_t>(bytes.size(), end - position));
        const void* hit = memmem(bytes.data(), span, pattern.data(), pattern.size());
        if (hit != nullptr) return position + static_cast<uint64_t>(static_cast<const std::byte*>(hit) - bytes.data());
        position += span - pattern.size() + 1;
    }
    return std::nullopt;
}

}  // namespace vdrec::raw
