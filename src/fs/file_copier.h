#pragma once
// The one copy of file data out of a volume: every file system's files are written from their
// file maps here, with the same rules for holes, unreadable bytes, sizes and times.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "image/block_device.h"
#include "platform/ui_sink.h"

namespace vdrec::fs {

// Writes `map` read through `volume` (the slice its device offsets are taken in) to
// `destinationPath`, which must not exist yet, then applies its times once.
// - Holes stay holes of the output; lost and unreadable bytes are zeros at their own place,
//   later bytes keep their offsets, and the copy is Short.
// - A size past what the volume can hold is never attempted: the file is saved up to the end of
//   its last stored byte, the copy is Short and `sink` is told why.
// - A write that fails (a full disk, a file-size limit) ends the copy: Failed, with the reason
//   shown; what was written stays.
CopyResult copyFile(const image::BlockDevice& volume, const FileMap& map, const std::string& destinationPath,
                    platform::UiSink& sink);

// The same bytes in memory: nullopt when the map is larger than `maxBytes` or any of it cannot be
// read exactly.
std::optional<std::vector<uint8_t>> readFileData(const image::BlockDevice& volume, const FileMap& map, size_t maxBytes);
// The same for structures kept in file data (an attribute list): what cannot be read is zeros in
// its place; empty when larger than `maxBytes` or than the volume.
std::vector<uint8_t> readAvailableData(const image::BlockDevice& volume, const FileMap& map, size_t maxBytes);

}  // namespace vdrec::fs
