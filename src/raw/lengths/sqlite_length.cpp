// SQLite: page size times page count, both in the database header. The page count there is only current
// when the "version-valid-for" number equals the change counter; older writers left it stale.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

std::optional<uint64_t> measureSqlite(CandidateBuffer& in) {
    const auto header = in.at(0, 100);
    if (!header || !header->matches(0, std::string_view("SQLite format 3\0", 16))) return std::nullopt;
    const uint16_t pageField = header->be16Or0(16);
    const uint64_t pageSize = pageField == 1 ? 65536 : pageField;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return std::nullopt;
    const uint32_t changeCounter = header->be32Or0(24);
    const uint32_t pageCount = header->be32Or0(28);
    const uint32_t validFor = header->be32Or0(92);
    if (pageCount == 0 || validFor != changeCounter) return std::nullopt;
    const auto length = platform::checkedMul(pageSize, pageCount);
    if (!length || *length > in.limit()) return std::nullopt;
    return length;
}

}  // namespace vdrec::raw
