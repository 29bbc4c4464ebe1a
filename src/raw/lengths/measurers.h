#pragma once
// One measurer per format family; each returns the file's exact length from offset 0 of the buffer, or
// nullopt when the bytes are not a whole file of its kind within the buffer's limit.

#include <cstdint>
#include <optional>

#include "raw/lengths/candidate_buffer.h"

namespace vdrec::raw {

std::optional<uint64_t> measureJpeg(CandidateBuffer& in);
std::optional<uint64_t> measurePng(CandidateBuffer& in);
std::optional<uint64_t> measureGif(CandidateBuffer& in);
std::optional<uint64_t> measureBmp(CandidateBuffer& in);
std::optional<uint64_t> measurePdf(CandidateBuffer& in);
std::optional<uint64_t> measureZip(CandidateBuffer& in);
std::optional<uint64_t> measureRar(CandidateBuffer& in);
std::optional<uint64_t> measureSevenZip(CandidateBuffer& in);
std::optional<uint64_t> measureMp3(CandidateBuffer& in);
std::optional<uint64_t> measureIsoMedia(CandidateBuffer& in);  // MP4 and QuickTime
std::optional<uint64_t> measureAvi(CandidateBuffer& in);
std::optional<uint64_t> measureWav(CandidateBuffer& in);
std::optional<uint64_t> measureCompoundFile(CandidateBuffer& in);  // OLE2: DOC, XLS
std::optional<uint64_t> measureSqlite(CandidateBuffer& in);

// CRC-32 (IEEE 802.3, as ZIP, PNG, 7z and RAR5 use it).
uint32_t crc32(platform::Bytes bytes, uint32_t crc = 0);

}  // namespace vdrec::raw
