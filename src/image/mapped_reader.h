#pragma once
// Shared read path of the container readers (VHD, VDI, VMDK): the disk is cut into runs that
// are either stored contiguously in the container, known to be zero, or outside the disk. A read
// issues one positional read per stored run instead of one per sector.

#include <mutex>

#include "image/image_reader.h"

namespace vdrec::image {

class MappedReader : public ImageReader {
public:
    using ImageReader::ImageReader;

    uint64_t size() const override { return diskBytes(); }
    ReadResult read(uint64_t offset, void* buffer, size_t count) const override;
    bool seek(int64_t offset, uint32_t method = FromStart) override;

protected:
    struct Run {
        enum class Kind { Stored, Zero, Outside } kind = Kind::Outside;
        uint64_t fileOffset = 0;  // for Stored: where the run's first byte lies in the container
        uint64_t length = 0;      // bytes from the asked position to the end of the run (>= 1)
    };

    // The run holding byte `position` of the virtual disk. Called under the reader's lock, so a
    // reader may keep caches of its tables.
    virtual Run locate(uint64_t position) const = 0;
    // Size of the virtual disk in bytes, for seeks from the end.
    virtual uint64_t diskBytes() const = 0;

private:
    mutable std::mutex locateLock_;
};

}  // namespace vdrec::image
