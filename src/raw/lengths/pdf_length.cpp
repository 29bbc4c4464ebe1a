// PDF: the file ends at its last "%%EOF" marker and the line end after it. Linearized files and files saved
// with incremental updates hold several markers; after each one the file goes on only when what follows is
// more PDF body (an object, a cross-reference section, a trailer), so the search stops at the first marker
// followed by anything else: padding, free space, or the next file, including a PDF placed right behind.
#include <cctype>
#include <string_view>

#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr std::string_view kEndMarker = "%%EOF";

// Offset just past the line end (CR, LF or CR LF) at `position`, or `position` when there is none.
uint64_t skipLineEnd(CandidateBuffer& in, uint64_t position) {
    const auto bytes = in.at(position, 1);
    if (!bytes) return position;
    if (bytes->u8Or0(0) == '\n') return position + 1;
    if (bytes->u8Or0(0) != '\r') return position;
    const auto next = in.at(position + 1, 1);
    return next && next->u8Or0(0) == '\n' ? position + 2 : position + 1;
}

// PDF white space without NUL: a run of zeros after a marker is free space, not more body.
bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool startsWith(const platform::ByteReader& text, size_t at, std::string_view word) {
    return text.matches(at, word);
}

// Whether the bytes at `position` continue the PDF body: "N G obj", "xref", "trailer", "startxref", or a
// comment that is not the header of another PDF.
bool continuesBody(CandidateBuffer& in, uint64_t position) {
    std::optional<platform::ByteReader> text;
    for (size_t length = 32; length > 0 && !text; length /= 2) text = in.at(position, length);
    if (!text) return false;
    size_t k = 0;
    while (k < text->size() && isBlank(text->u8Or0(k))) ++k;
    if (k == text->size()) return false;
    if (startsWith(*text, k, "xref") || startsWith(*text, k, "trailer") || startsWith(*text, k, "startxref"))
        return true;
    if (text->u8Or0(k) == '%') return !startsWith(*text, k, "%PDF-") && !startsWith(*text, k, "%!PS");
    // An object: digits, blanks, digits, blanks, "obj".
    size_t digits = 0;
    while (k < text->size() && std::isdigit(text->u8Or0(k))) ++k, ++digits;
    if (digits == 0 || digits > 10) return false;
    size_t blanks = 0;
    while (k < text->size() && isBlank(text->u8Or0(k))) ++k, ++blanks;
    digits = 0;
    while (k < text->size() && std::isdigit(text->u8Or0(k))) ++k, ++digits;
    if (blanks == 0 || digits == 0 || digits > 5) return false;
    while (k < text->size() && text->u8Or0(k) == ' ') ++k;
    return startsWith(*text, k, "obj");
}

// A revision ends with "startxref", the cross-reference offset and the marker; a marker without it is
// content (an embedded file, a comment) and ends nothing.
bool endsRevision(CandidateBuffer& in, uint64_t marker) {
    constexpr uint64_t kLookBack = 64;
    const uint64_t from = marker > kLookBack ? marker - kLookBack : 0;
    return in.find(from, marker, "startxref").has_value();
}

}  // namespace

std::optional<uint64_t> measurePdf(CandidateBuffer& in) {
    const auto header = in.at(0, 8);
    if (!header || !header->matches(0, "%PDF-")) return std::nullopt;
    uint64_t position = 5;
    for (;;) {
        const std::optional<uint64_t> marker = in.find(position, in.limit(), kEndMarker);
        if (!marker) return std::nullopt;
        const uint64_t end = skipLineEnd(in, *marker + kEndMarker.size());
        if (endsRevision(in, *marker) && !continuesBody(in, end)) return end;
        position = end;
    }
}

}  // namespace vdrec::raw
