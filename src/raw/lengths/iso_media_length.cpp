// MP4 and QuickTime: the file is a run of top-level boxes (atoms), each starting with its 32-bit size and
// four-letter type; size 1 means a 64-bit size follows the type. The walk stops at the first box whose type
// is not a top-level one, which is where the next file or free space starts. A file is whole once it holds
// its movie box.
#include <array>

#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

// Top-level boxes of ISO base media files and QuickTime movies.
constexpr std::array kTopLevel{
    std::string_view("ftyp"), std::string_view("moov"), std::string_view("mdat"), std::string_view("free"),
    std::string_view("skip"), std::string_view("wide"), std::string_view("uuid"), std::string_view("meta"),
    std::string_view("moof"), std::string_view("mfra"), std::string_view("sidx"), std::string_view("styp"),
    std::string_view("pdin"), std::string_view("udta"), std::string_view("junk"), std::string_view("pnot"),
    std::string_view("PICT"), std::string_view("emsg"), std::string_view("prft"), std::string_view("ssix"),
};

bool isTopLevel(const platform::ByteReader& box) {
    for (std::string_view type : kTopLevel)
        if (box.matches(4, type)) return true;
    return false;
}

}  // namespace

std::optional<uint64_t> measureIsoMedia(CandidateBuffer& in) {
    uint64_t position = 0;
    bool sawMovie = false;
    bool first = true;
    for (;;) {
        const auto box = in.at(position, 8);
        if (!box || !isTopLevel(*box)) break;
        // A second "ftyp" starts another file placed right behind.
        if (!first && box->matches(4, "ftyp")) break;
        uint64_t size = box->be32Or0(0);
        if (box->matches(4, "moov")) sawMovie = true;  // before the next read reuses the box's bytes
        if (size == 1) {
            const auto large = in.at(position + 8, 8);
            if (!large) return std::nullopt;
            size = large->be64Or0(0);
            if (size < 16) return std::nullopt;
        } else if (size == 0) {
            // "To the end of the file": unknowable here.
            return std::nullopt;
        } else if (size < 8) {
            break;
        }
        if (size > in.limit() - position) return std::nullopt;
        position += size;
        first = false;
    }
    if (first || !sawMovie) return std::nullopt;
    return position;
}

}  // namespace vdrec::raw
